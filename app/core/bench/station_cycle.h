// One station of a production bench as a state machine without I/O: what happens to it comes in
// (a phone answered, an attempt ended, the go-ahead or identifier from the bench, a stop, a record
// line that could not be written, a port or file that changed), and what the station must do
// next goes out as steps, which its driver carries out in order. The machine never waits, reads
// a clock, touches a port or writes a file, so every rule below is tested by feeding it events.
//
// The cycle, unit after unit:
// 1. Ready for a unit. With scanning, the station asks the bench for its next identifier first
//    and waits for it; without, it goes straight on.
// 2. Wait for a phone: a download attempt every poll interval, its output held back. An attempt
//    that no phone answers is no unit. When a phone answers the line setup frame, the station
//    (without scanning) asks the bench for the go-ahead, checks that the files and the port are
//    still those it started with, and writes the unit's start line; only then does the download
//    go on. In blind mode (which needs scanning) nothing can answer: the unit starts with its
//    identifier, its start line written before the first byte.
// 3. The unit ends: its end line is written first, and only once it is on disk is the unit's
//    outcome reported. An end line that cannot be written leaves the unit interrupted, as the
//    record shows it, and ends the station.
// 4. Wait for the phone to go (acknowledged mode): every poll interval a probe, the same attempt
//    stopped as soon as the phone answers. Only after a probe that nobody answered is the removal
//    recorded and the next unit taken, so a phone that stays is never flashed twice, with or
//    without scanning: a scanned identifier waits for the next phone.
//
// A station started again whose record shows a last unit that passed, with no removal since,
// begins at step 4: the phone of that unit may still be on it.
//
// An attempt that nobody answered and that failed otherwise (the port is missing, a file cannot
// be read) ends the station with its reason, as does a stop (Ctrl-C, "stop COM<n>"): a running
// unit then ends as stopped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/download/download_events.h"
#include "core/download/download_outcome.h"
#include "core/download/exit_status.h"
#include "core/records/record_reader.h"
#include "core/records/unit_result.h"

namespace dekvanto::core {

enum class AttemptKind {
    kCandidate,  // a unit once a phone answers the line setup frame
    kScanned,    // a unit from its first byte: blind mode, its identifier scanned
    kProbe,      // is the phone of the last unit still there? stopped once it answers
};

enum class StationPhase {
    kStarting,
    kWaitingForGo,       // it asked the bench for its next identifier
    kWaitingForPhone,    // attempts every poll interval
    kFlashing,           // a unit runs
    kWaitingForRemoval,  // probes every poll interval
    kBetweenUnits,       // blind mode: the line is let go before the next unit
    kEnded,
};

struct StationPlan {
    bool scan = false;
    bool acknowledged = true;
    int first_unit = 1;
    // A unit of an earlier run that passed and whose phone was not seen to go.
    std::optional<int> phone_left{};
    // The files as the engine names them: a failure's words name the file it happened in.
    StagePaths paths{};
};

// How an attempt ended.
struct AttemptEnd {
    bool answered = false;  // a phone answered the line setup frame
    DownloadOutcome outcome{};
    // The port's own words when the attempt failed on its port ("port COM7 (/dev/ttyS6) does not
    // exist"); none otherwise.
    std::optional<std::string> port_problem{};
    // Checked once the unit has ended: a file that changed while it ran (what the phone received
    // is then unknown), in words; none when every file is as the unit began with it.
    std::optional<std::string> files_changed{};
};

struct StationStep {
    enum class Kind {
        kAnnounce,          // tell what the station waits for: waiting_for, unit
        kAsk,               // ask the bench for the go-ahead of `unit`; wait for the answer
        kAttempt,           // run one download attempt of kind `attempt`
        kStopAttempt,       // stop the attempt under way at once
        kCheckUnit,         // the files and the port are still those the station started with
        kWriteStartLine,    // the start line of `unit` with `unit_id`
        kReportUnitStart,   // unit, unit_id; then what the attempt held back
        kWriteEndLine,      // the end line of the unit that ended: status, reason
        kReportUnitEnd,     // verdict, reason, error
        kWriteRemovalLine,  // the phone of `unit` has gone
        kPause,             // let go of the line for the poll interval
        kEnd,               // the station ends with `status`; `reason` why, when it could not go on
    };

    Kind kind = Kind::kEnd;
    int unit = 0;
    std::optional<std::string> unit_id{};
    WaitingFor waiting_for = WaitingFor::kPhone;
    AttemptKind attempt = AttemptKind::kCandidate;
    UnitVerdict verdict = UnitVerdict::kFailed;
    std::optional<std::string> reason{};
    std::optional<std::string> error{};  // kReportUnitEnd: the port's own words
    ExitStatus status = kFinished;

    bool operator==(const StationStep &) const = default;
};

using StationSteps = std::vector<StationStep>;

class StationCycle {
  public:
    explicit StationCycle(StationPlan plan);

    // Each event returns the steps to carry out, in order. A step that fails (a check, a record
    // line) drops the steps after it: the driver reports the failure instead and carries out
    // what that returns. A step that waits (kAsk, kAttempt, kPause) or kEnd comes last.
    StationSteps Begin();
    // The answer to kAsk: the go-ahead, with the unit's scanned identifier when scanning.
    StationSteps OnGo(std::optional<std::string> unit_id);
    // The bench's input has ended (or refused the unit): no more units.
    StationSteps OnNoMoreUnits();
    // A phone answered the line setup frame of the attempt under way. Called inside the attempt:
    // its steps (kAsk among them) are carried out before the download goes on.
    StationSteps OnAnswered();
    StationSteps OnAttemptEnded(const AttemptEnd &end);
    StationSteps OnPauseEnded();
    // Ctrl-C or a stop line: an attempt under way is stopped by the engine itself and ends as
    // stopped; outside an attempt the station ends.
    StationSteps OnInterrupt();
    // A record line (start, end or removal) could not be written.
    StationSteps OnRecordFailed(const std::string &error);
    // kCheckUnit failed (a file changed since the station started, its port now leads elsewhere),
    // or before an attempt the port was found to lead elsewhere: no unit, the station ends.
    StationSteps OnUnitRefused(ExitStatus status, const std::string &reason);

    StationPhase Phase() const { return phase_; }
    // The number of the unit running, or of the next one.
    int Unit() const { return unit_; }
    // The status the station ends with (once kEnd was given, the one it gave).
    ExitStatus Status() const;

  private:
    enum class Write { kNone, kStart, kEnd, kRemoval };

    StationSteps NextUnit();
    StationSteps StartUnit();
    StationSteps EndUnit(const AttemptEnd &end);
    StationSteps AfterProbe(const AttemptEnd &end);
    StationSteps AfterCandidate(const AttemptEnd &end);
    StationSteps End(std::optional<ExitStatus> status, std::optional<std::string> reason = {});
    StationSteps EndAfterAttempt(ExitStatus status, const std::string &reason);
    StationSteps Attempt(AttemptKind kind);
    StationSteps StopAttempt();
    bool NoPhone(const AttemptEnd &end) const;
    std::string ReasonOf(const AttemptEnd &end) const;
    std::string StopReasonOf(const AttemptEnd &end) const;

    StationPlan plan_;
    StationPhase phase_ = StationPhase::kStarting;
    int unit_;
    std::optional<std::string> unit_id_;
    int removal_unit_ = 0;    // the unit whose phone must go
    bool answering_ = false;  // inside an attempt, at its phone's answer
    bool stopping_ = false;   // the cycle has stopped the attempt under way
    AttemptKind attempt_ = AttemptKind::kCandidate;
    bool unit_open_ = false;      // its start line is written, its end line not yet
    Write write_ = Write::kNone;  // the record line of the last steps given
    bool interrupted_ = false;
    bool no_more_units_ = false;
    bool stopped_unit_ = false;
    bool failed_unit_ = false;
    // Set once the station cannot go on; while an attempt runs, it ends when the attempt has.
    std::optional<ExitStatus> stop_status_;
    std::optional<std::string> stop_reason_;
};

}  // namespace dekvanto::core
