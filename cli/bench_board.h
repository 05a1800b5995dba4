// The parent's side of a bench (bench_station.h has the station's): what each station reports,
// drawn for the operator; the go-ahead for units while --count is not reached; the scanned
// identifiers handed to their stations; the totals and the exit status at the end.
//
// On a terminal: one live line per station (its state, the unit's last log line, percent and
// elapsed time), redrawn in place under the permanent lines, one per finished unit ("COM3 #12
// PASS 57.1 s", "COM4 #13 FAIL no acknowledgement in the code file") and per station error.
// Into a file or a pipe: the permanent lines only. The totals come last, per station and in all.
// With --events, every station's events are passed on whole to the events stream, a station
// cut off in a unit gets that unit's unit-end made for it, and a "station" event tells when a
// station's process has ended ("stopped" when it can be started again, else "ended") and when it
// runs again ("running").
//
// The bench's own input takes control lines in every mode: "stop COM<n>" ends that station as
// Ctrl-C would (its running unit is recorded as stopped), "start COM<n>" starts a station so
// stopped again, its unit numbers going on from the last one it began. With --scan every other
// line is a scanned identifier. A stopped station can be started again while the bench takes new
// units: not after Ctrl-C, once --count is reached, or once the bench's input has ended. Without
// --scan the end of the input ends nothing else.
//
// The board never touches the processes: what it has to do to a station (a line on its input,
// the end of its input, a stop, a new start) it leaves in TakeMessages() for the caller.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/download_events.h"
#include "core/record_reader.h"
#include "exit_status.h"

namespace dekvanto::cli {

struct BenchStationState {
    enum class State {
        kStarting,
        kWaitingForPhone,
        kFlashing,
        kWaitingForRemoval,
        kStopped,  // its process has ended after a stop line; it can be started again
        kEnded
    };

    std::string port;
    State state = State::kStarting;
    std::string pending;  // output not yet ended by a line end
    int unit = 0;         // the unit being flashed, or whose phone must go (the last one begun)
    int ended_unit = 0;   // the last unit it said has ended (and is recorded)
    std::string unit_id;
    std::string line;  // the unit's last log line
    int percent = 0;
    std::chrono::steady_clock::time_point unit_since{};
    dekvanto::app::VerdictCounts counts;
    int status = kOtherFailure;  // its process's exit status, once it has ended
    bool input_open = true;
    bool stop_asked = false;  // a stop line was passed on to its running process
    int event_unit = 0;       // the unit of its last unit-start event
    bool unit_open = false;   // that unit-start was passed on, its unit-end not yet
};

// What the caller must do to a station: write a line to its input, or (no line) end its input;
// stop its process as Ctrl-C would; or start it again with this first unit number.
struct StationMessage {
    enum class Action { kWrite, kStop, kStart };

    std::size_t station = 0;
    std::optional<std::string> line;
    Action action = Action::kWrite;
    int first_unit = 0;  // kStart

    bool operator==(const StationMessage &) const = default;
};

class BenchBoard {
  public:
    using Clock = std::chrono::steady_clock;

    // columns: the terminal's width for live lines, 0 for a file or a pipe (permanent lines
    // only). events: where the stations' events go; null when they are not asked for. count:
    // --count. scan: --scan.
    BenchBoard(std::vector<BenchStationState> &stations, std::ostream &log, int columns,
               std::ostream *events, std::optional<int> count, bool scan);

    // The first drawing of the live lines.
    void Begin();
    // A chunk of a station's output: every line it ends (LF or CRLF) is taken in turn.
    void OnOutput(std::size_t station, std::string_view bytes, Clock::time_point now);
    // A chunk of the parent's own input: control lines, and with --scan "COM<n> <identifier>"
    // (with one station the bare identifier).
    void OnOwnInput(std::string_view bytes);
    // The parent's own input has ended: no station starts again; with --scan no more units.
    void OnOwnInputEnded();
    // Ctrl-C: no more units; the stations stop by themselves.
    void OnInterrupt();
    // A station could not start.
    void OnNotStarted(std::size_t station, const std::string &why);
    // A station's process has ended with this exit status. One cut off in a unit (killed,
    // crashed) gets that unit's permanent line, INTERRUPTED, as its record shows it.
    void OnStationEnded(std::size_t station, int status);
    // True while a stopped station may still be started again: the bench must wait for its
    // input even when no station runs.
    bool AnyStopped() const;
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
    bool OnControlLine(const std::string &line);
    void StopStation(std::size_t station);
    void StartStation(std::size_t station);
    bool CanStartAgain() const;
    void EndStopped();
    void StationEvent(const BenchStationState &station, dekvanto::app::StationRun run);
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
    bool scan_;
    bool interrupted_ = false;
    bool own_input_open_ = true;
    std::string own_pending_;
    std::vector<StationMessage> messages_;
    Clock::time_point last_drawn_{};
};

}  // namespace dekvanto::cli
