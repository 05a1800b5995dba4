// The parent's side of a bench (bench_station.h has the station's): what each station reports,
// drawn for the operator; the go-ahead for units while --count is not reached; the scanned
// identifiers handed to their stations; the totals and the exit status at the end.
//
// On a terminal: one live line per station (its state, the unit's last log line, percent and
// elapsed time), redrawn in place under the permanent lines, one per finished unit ("COM3 #12
// PASS 57.1 s", "COM4 #13 FAIL no acknowledgement in the code file") and per station error.
// Into a file or a pipe: the permanent lines only. The totals come last, per station and in all.
// With --events, every station's events are passed on whole to the events stream, and a station
// cut off in a unit gets that unit's unit-end made for it.
//
// The board never touches the processes: what it has to say to a station (a line on its input,
// or the end of its input) it leaves in TakeMessages() for the caller.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/record_reader.h"
#include "exit_status.h"

namespace dekvanto::cli {

struct BenchStationState {
    enum class State { kStarting, kWaitingForPhone, kFlashing, kWaitingForRemoval, kEnded };

    std::string port;
    State state = State::kStarting;
    std::string pending;  // output not yet ended by a line end
    int unit = 0;         // the unit being flashed, or whose phone must go
    int ended_unit = 0;   // the last unit it said has ended (and is recorded)
    std::string unit_id;
    std::string line;  // the unit's last log line
    int percent = 0;
    std::chrono::steady_clock::time_point unit_since{};
    dekvanto::app::VerdictCounts counts;
    int status = kOtherFailure;  // its process's exit status, once it has ended
    bool input_open = true;
    int event_unit = 0;      // the unit of its last unit-start event
    bool unit_open = false;  // that unit-start was passed on, its unit-end not yet
};

// A line for a station's input, or (no line) the end of its input.
struct StationMessage {
    std::size_t station = 0;
    std::optional<std::string> line;

    bool operator==(const StationMessage &) const = default;
};

class BenchBoard {
  public:
    using Clock = std::chrono::steady_clock;

    // columns: the terminal's width for live lines, 0 for a file or a pipe (permanent lines
    // only). events: where the stations' events go; null when they are not asked for. count:
    // --count.
    BenchBoard(std::vector<BenchStationState> &stations, std::ostream &log, int columns,
               std::ostream *events, std::optional<int> count);

    // The first drawing of the live lines.
    void Begin();
    // A chunk of a station's output: every line it ends (LF or CRLF) is taken in turn.
    void OnOutput(std::size_t station, std::string_view bytes, Clock::time_point now);
    // A chunk of the parent's own input (--scan): each line is "COM<n> <identifier>", or with
    // one station the bare identifier.
    void OnOwnInput(std::string_view bytes);
    // The parent's own input has ended (--scan): no more units.
    void OnOwnInputEnded();
    // Ctrl-C: no more units; the stations stop by themselves.
    void OnInterrupt();
    // A station could not start.
    void OnNotStarted(std::size_t station, const std::string &why);
    // A station's process has ended with this exit status. One cut off in a unit (killed,
    // crashed) gets that unit's permanent line, INTERRUPTED, as its record shows it.
    void OnStationEnded(std::size_t station, int status);
    // The time goes on: the live lines' elapsed times are redrawn now and then.
    void Tick(Clock::time_point now);

    // What the caller must now write to the stations, in order.
    std::vector<StationMessage> TakeMessages();

    // After every station has ended: the live lines a last time, the totals, the unit-end of
    // each unit cut off (with --events), and the bench's exit status: the status of the first
    // station (in the order of the ports) that could not go on, else kStopped when stopped,
    // kUnitsFailed when a unit failed, kFinished when every unit passed.
    int Finish();

  private:
    void OnLine(std::size_t station, const std::string &line, Clock::time_point now);
    void OnScannedLine(const std::string &line);
    void PassEvent(BenchStationState &station, const std::string &line);
    void OnAsked(std::size_t station);
    void CloseAllInputs();
    void Permanent(const std::string &text);
    std::string LiveLine(const BenchStationState &station, Clock::time_point now) const;
    void Redraw(Clock::time_point now, bool at_once);
    void DrawLiveLines(Clock::time_point now);

    std::vector<BenchStationState> &stations_;
    std::ostream &log_;
    int columns_;
    std::ostream *events_;
    std::optional<int> count_;
    int units_given_ = 0;  // go-aheads and identifiers handed out
    bool interrupted_ = false;
    std::string own_pending_;
    std::vector<StationMessage> messages_;
    Clock::time_point last_drawn_{};
};

}  // namespace dekvanto::cli
