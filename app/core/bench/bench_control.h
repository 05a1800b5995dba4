// The parent's side of a production bench, without I/O: `vanto bench` runs each station in a
// process of its own and this decides everything the bench does between them. It reads what the
// stations say (station_messages.h), the operator's lines and the ends of processes, and answers
// with actions for its driver: a message to a station, the end of a station's input, a stop or a
// new start of a station's process, and the bench's events, which the driver passes on (--events)
// and which the bench's own state (bench_state.h, drawn on the terminal) has already taken.
//
// - Go-aheads: a station asks for each unit; while the bench takes units (no Ctrl-C, --count
//   not reached), it gets the go-ahead at once.
// - Scanning: the operator's lines "COM<n> <identifier>" (with one station the bare identifier)
//   are queued for their station and handed over one at a time, when the station asks for its
//   next unit, so none is lost when a station stops, and none waits in a pipe. An identifier that
//   is queued, running or has passed on this bench is refused; one whose unit failed may be
//   scanned again (a retest). Identifiers for a station that is stopped or has ended are refused;
//   those left when their station or the bench ends are dropped, each with a word.
// - Control lines: "stop COM<n>" ends that station as Ctrl-C would (its running unit is recorded
//   as stopped); "start COM<n>" starts it again, its unit numbers going on after the last one it
//   began. A stopped station can start again while the bench takes units. A line whose first word
//   is "stop" or "start" and that is not such a line is refused, never taken for an identifier.
// - A station whose process ends in the middle of a unit leaves that unit interrupted, as its
//   record shows it; the bench says so.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bench/bench_state.h"
#include "core/bench/station_messages.h"
#include "core/download/exit_status.h"

namespace dekvanto::core {

struct BenchTime {
    std::chrono::steady_clock::time_point now{};
    std::chrono::system_clock::time_point wall{};
};

struct BenchAction {
    enum class Kind {
        kSend,        // write `line` (a station message) to the station's input
        kCloseInput,  // end the station's input: it takes no more units
        kStop,        // stop the station's process as Ctrl-C would
        kStart,       // start the station's process (again) with `first_unit`
        kEvent,       // an event of the bench, to pass on
    };
    Kind kind = Kind::kEvent;
    std::size_t station = 0;
    std::string line{};
    int first_unit = 1;
    DownloadEvent event{};

    bool operator==(const BenchAction &) const = default;
};

using BenchActions = std::vector<BenchAction>;

class BenchControl {
  public:
    // ports: one station each; scan: units start with scanned identifiers; count: --count.
    BenchControl(const std::vector<std::string> &ports, bool scan, std::optional<long long> count);

    // Starts every station.
    BenchActions Begin(BenchTime time);
    // A whole line of a station's output (a message, or anything its process printed).
    BenchActions OnStationLine(std::size_t station, std::string_view line, BenchTime time);
    // A station's process could not be started.
    BenchActions OnNotStarted(std::size_t station, const std::string &why, BenchTime time);
    // A station's process has ended with this exit status (after its last output).
    BenchActions OnStationEnded(std::size_t station, int exit_status, BenchTime time);
    // A line the operator typed or scanned.
    BenchActions OnOwnLine(std::string_view line, BenchTime time);
    // The operator's input has ended: no station starts again, and with scanning no more units.
    BenchActions OnOwnInputEnded(BenchTime time);
    // Ctrl-C: no more units; the stations stop by themselves, each given the Ctrl-C.
    BenchActions OnInterrupt(BenchTime time);

    // True while the bench goes on: a station's process runs, or one stopped may start again.
    bool Running() const;
    // After every station has ended: what is left (identifiers never flashed) is said, and the
    // bench's exit status (bench_rules.h).
    BenchActions Finish(BenchTime time, int &exit_status);

    const BenchState &State() const { return state_; }

  private:
    struct Station {
        std::string port{};
        bool running = false;
        bool stop_asked = false;
        bool input_open = false;
        bool unit_open = false;
        int next_unit = 1;
        std::optional<int> asked{};             // it waits for the go-ahead of this unit
        std::deque<std::string> identifiers{};  // scanned for it, waiting their turn
        std::optional<std::string> handed{};    // given to it, its unit not begun yet
        std::string error{};                    // what it said before it ended
        int status = kOtherFailure;             // its process's last exit status
        bool ended_for_good = false;
    };
    // An identifier scanned on this bench and what became of it.
    struct Scanned {
        std::size_t station = 0;
        int unit = 0;      // 0 until its unit begins
        bool open = true;  // queued, handed or running
        bool passed = false;
    };

    BenchActions Emit(DownloadEvent event, BenchTime time);
    void Emit(BenchActions &actions, DownloadEvent event, BenchTime time);
    void OnEvent(BenchActions &actions, std::size_t station, DownloadEvent event, BenchTime time);
    void HandOut(BenchActions &actions, std::size_t station, BenchTime time);
    void CloseFinishedInputs(BenchActions &actions, BenchTime time);
    void DropIdentifiers(BenchActions &actions, std::size_t station, const std::string &reason,
                         BenchTime time);
    void EndStopped(BenchActions &actions, BenchTime time);
    bool OnControlLine(BenchActions &actions, std::string_view line, BenchTime time);
    void OnScannedLine(BenchActions &actions, std::string_view line, BenchTime time);
    void Scan(BenchActions &actions, const std::string &station, const std::string &id,
              ScanState state, std::optional<std::string> reason, BenchTime time);
    void Notice(BenchActions &actions, const std::string &station, const std::string &text,
                BenchTime time);
    std::optional<std::string> Duplicate(const std::string &id) const;
    bool TakesUnits() const;
    bool CanStartAgain() const;
    bool MoreScansCanCome() const;

    std::vector<Station> stations_;
    BenchState state_;
    bool scan_;
    std::optional<long long> count_;
    long long units_given_ = 0;  // go-aheads and identifiers taken
    bool interrupted_ = false;
    bool own_input_open_ = true;
    std::map<std::string, Scanned> scanned_;
};

// The bench line for an identifier typed into the bench window: the line as it is when it
// begins with one of the bench's ports, else the chosen station's port and the identifier.
// Nothing for a line of blanks.
std::optional<std::string> ScanLineFor(std::string_view typed, const std::string &chosen_port,
                                       const std::vector<std::string> &ports);

}  // namespace dekvanto::core
