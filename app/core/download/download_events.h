// The events of downloads, for scripts and front ends that follow a station: one JSON object per
// line (JSON Lines), whose "event" field names its kind. docs/events.md describes the stream.
//
// Every event carries "station" (the port name, "COM3") and "unit" (the unit's number at that
// station, from 1; a plain download is unit 1; 0 for the bench's own kinds that belong to no
// unit). The kinds and their own fields:
//   waiting     "for": "phone" (no phone answers; unit is the number the next phone will get)
//               or "removal" (the phone of unit, the unit that has just ended, must go first)
//   unit-start  "unit_id" (bench: the scanned identifier, when there is one): a unit begins;
//               every other event of the unit follows it
//   phase       "line": a line of the download's log, as the window's log list shows it
//   progress    "percent" (0 to 100), "bytes" (sent so far), "rate" (data bits per second over
//               the unit so far, 0 before any data)
//   prompt      "text": step mode asks before it goes on (it waits for Enter)
//   message     "text": a message box the engine or the download control showed
//   station     "state": "stopped" (a bench station's process has ended after the operator
//               stopped it; it can be started again), "running" (it was started again) or
//               "ended" (its process has ended for good); unit is the number the next phone
//               gets; stopped and ended add "status" (its process's exit status; 0 when left
//               out) and "error" when the station could not go on (the reason, as the bench
//               printed it)
//   unit-end    "result" (the engine's result character, a one-character string, or null when
//               the engine did not run), "status" (the exit status class of vanto), "seconds"
//               (how long the engine ran), "bytes", and "error" when the unit was refused or
//               its port failed (the one line that vanto prints on standard error); a bench adds
//               "unit_id", "verdict" ("PASS", "FAIL", "STOPPED" or "INTERRUPTED": as the record
//               holds the unit) and "reason" (why it did not pass, in the bench's words)
//   scan        bench: a scanned identifier, "unit_id", and "state": "queued" (it waits for its
//               station), "ready" (its station has it and waits for the phone), "refused" or
//               "dropped" (never flashed: the bench or the station ended first), with "reason"
//               for the last two; unit 0
//   notice      bench: "text", a line of the bench's own (a control line it refused, what a
//               station's process said outside its messages); station "" when it names none
//
// A reader skips kinds it does not know (ReadEventLine tells them apart) and fields it does not
// know: later versions may add both.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records/record_reader.h"

namespace dekvanto::core {

enum class EventKind {
    kWaiting,
    kUnitStart,
    kPhase,
    kProgress,
    kPrompt,
    kMessage,
    kUnitEnd,
    kStation,
    kScan,
    kNotice
};

enum class WaitingFor { kPhone, kRemoval };

// A bench station's process, as the "station" event tells it.
enum class StationRun { kRunning, kStopped, kEnded };

// What became of a scanned identifier, as the "scan" event tells it.
enum class ScanState { kQueued, kReady, kRefused, kDropped };

// One event, whatever its kind: the fields that the kind does not use keep their defaults (every
// member has one, so an event can be written with designated initializers).
struct DownloadEvent {
    EventKind kind = EventKind::kUnitStart;
    std::string station{};
    int unit = 1;
    WaitingFor waiting_for = WaitingFor::kPhone;    // waiting
    StationRun station_run = StationRun::kRunning;  // station
    std::string text{};                             // phase ("line"), prompt, message
    int percent = 0;                                // progress
    uint64_t bytes = 0;                             // progress, unit-end
    uint64_t rate = 0;                              // progress, in bit/s
    std::optional<char> result{};                   // unit-end
    int status = 0;                                 // unit-end, station (stopped, ended)
    double seconds = 0;                             // unit-end, rounded to milliseconds
    std::optional<std::string> error{};             // unit-end, station
    std::optional<std::string> unit_id{};           // unit-start, unit-end, scan
    std::optional<UnitVerdict> verdict{};           // unit-end (bench)
    std::optional<std::string> reason{};            // unit-end (bench), scan
    ScanState scan_state = ScanState::kQueued;      // scan

    bool operator==(const DownloadEvent &) const = default;
};

// The kind's name in the stream ("unit-start", ...).
std::string_view EventKindName(EventKind kind);

// The event as one line of JSON, without the line end. Text that is not valid UTF-8 (a path in
// the system's 8-bit code page) has its bad bytes replaced, so a line is always written.
std::string EventLine(const DownloadEvent &event);

enum class EventLineProblem {
    kNone,
    kTruncated,    // the line ends inside the object: a writer cut off mid-line
    kMalformed,    // not an event: bad JSON, no station or unit, a field of the wrong type
    kUnknownKind,  // a well-formed event of a kind this reader does not know: skip it
};

struct EventLineReading {
    std::optional<DownloadEvent> event;  // set only when problem is kNone
    EventLineProblem problem = EventLineProblem::kNone;
    std::string reason;  // what is wrong, for a message
};

// Reads one line of the stream (a trailing CR or LF is ignored).
EventLineReading ReadEventLine(std::string_view line);

// Where a writer's lines go: each call gets one whole line without its line end.
using EventLineSink = std::function<void(const std::string &line)>;

// Writes each line with its line end to out and flushes it, so that a reader at the other end of
// a pipe sees every event when it happens.
EventLineSink LinesTo(std::ostream &out);

// What a unit-end reports.
struct UnitEnding {
    std::optional<char> result;
    int status = 0;
    double seconds = 0;
    uint64_t bytes = 0;
    std::optional<std::string> error;
    std::optional<UnitVerdict> verdict{};  // a bench's unit: as its record holds it
    std::optional<std::string> reason{};   // a bench's unit that did not pass: why
};

// The events of one station, in order: the station's name and the current unit are filled in,
// and progress is thinned out to at most 10 events a second (the first at once, and 100 %
// always, once per unit). A progress held back by the thinning out is not lost: FlushProgress
// writes it once its time has come, so a station that waits (for a phone to erase, say) shows
// where it stands rather than where it stood a tenth of a second before the wait.
class EventWriter {
  public:
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    EventWriter(EventLineSink sink, std::string station);

    const std::string &Station() const { return station_; }
    int Unit() const { return unit_; }
    // A unit-start has been written and its unit-end not yet.
    bool UnitOpen() const { return open_; }

    // Also sets the current unit (see the "waiting" kind for which number it is).
    void Waiting(WaitingFor what, int unit);
    // Begins unit number `unit` (from 1), with its scanned identifier when there is one; the
    // identifier goes into its unit-end too. Events kept since Hold follow it.
    void UnitStart(int unit, std::optional<std::string> unit_id = std::nullopt);
    void Phase(std::string_view line);
    // The progress at `now` (steady clock, the caller's: a test passes its own times).
    void Progress(int percent, uint64_t bytes, uint64_t rate,
                  std::chrono::steady_clock::time_point now);
    // Writes the progress last held back, if any, when at least kProgressInterval has passed
    // since the last progress written. Called as often as the caller likes (at every pass of the
    // engine's waits).
    void FlushProgress(std::chrono::steady_clock::time_point now);
    void Prompt(std::string_view text);
    void Message(std::string_view text);
    void UnitEnd(const UnitEnding &ending);

    // From now on the events are kept, not written: an attempt that is not yet a unit (most never
    // are) costs no more than their keeping. The next UnitStart writes itself, then what was
    // kept, in order; Drop forgets it. Either way later events are written at once.
    void Hold() { holding_ = true; }
    void Drop();

  private:
    DownloadEvent Event(EventKind kind) const;
    void Write(const DownloadEvent &event);

    EventLineSink sink_;
    std::string station_;
    int unit_ = 1;
    std::optional<std::string> unit_id_;
    bool open_ = false;
    std::optional<std::chrono::steady_clock::time_point> last_progress_;
    bool full_progress_sent_ = false;
    std::optional<DownloadEvent> held_progress_;
    bool holding_ = false;
    std::vector<DownloadEvent> held_;
};

}  // namespace dekvanto::core
