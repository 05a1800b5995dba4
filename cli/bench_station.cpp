#include "bench_station.h"

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>

#include "byte_trace.h"
#include "console_view.h"
#include "core/download_events.h"
#include "core/download_request.h"
#include "core/engine_library.h"
#include "core/record_file.h"
#include "core/record_lines.h"
#include "core/record_time.h"
#include "core/unit_record.h"
#include "core/unit_result.h"
#include "download_command.h"
#include "exit_status.h"
#include "held_output.h"
#include "interrupt.h"
#include "line_input.h"
#include "port_check.h"

#ifndef DEKVANTO_VERSION
#define DEKVANTO_VERSION "0.0.0"
#endif

namespace dekvanto::cli {
namespace {

using dekvanto::app::DownloadOutcome;
using dekvanto::app::OutcomeClass;
using dekvanto::app::WaitingFor;

enum class AttemptKind {
    kCandidate,  // a unit when a phone answers the line setup frame
    kScanned,    // a unit whatever happens: its identifier was scanned
    kProbe,      // is the phone of the last unit still there? stopped once it answers
};

class BenchStation {
  public:
    BenchStation(const BenchOptions &options, Console &console, const Context &context)
        : options_(options),
          console_(console),
          context_(context),
          out_(&held_),
          input_(console.in_descriptor),
          unit_(options.first_unit) {}

    int Run();

  private:
    std::optional<int> Prepare();
    void Loop();
    bool WaitForScan(std::optional<std::string> &unit_id);
    // The rest of the parent's next line that begins with tag (other lines are passed over);
    // nothing at the end of the input or at Ctrl-C.
    std::optional<std::string> ParentLine(std::string_view tag);
    bool WaitForPhone();
    bool WaitForRemoval();
    bool PauseBetweenAttempts();
    std::chrono::milliseconds PollInterval() const;
    void Announce(WaitingFor what);
    void Attempt(AttemptKind kind, const std::optional<std::string> &unit_id);
    void OnLineSetupAnswer();
    bool GoAhead();
    bool WriteStartLine();
    void FinishUnit();
    bool NoPhone() const;
    void StopOn(const DownloadOutcome &outcome);
    void Stop(const std::string &text, int status);
    int Status() const;

    static void MX40_CALL OnTraceBytes(void *context, int32_t direction, int32_t phase,
                                       const uint8_t *bytes, uint32_t count);

    const BenchOptions &options_;
    Console &console_;
    const Context &context_;
    HeldOutput held_{console_.out};
    std::ostream out_;  // every tagged line, through held_
    LineInput input_;

    std::string port_;
    dekvanto::app::DownloadRequest request_;
    dekvanto::app::RecordConstants constants_;
    std::optional<dekvanto::app::RecordFile> record_file_;
    dekvanto::app::RecordDevice device_;
    dekvanto::app::StagePaths paths_;
    bool acknowledged_ = true;
    std::unique_ptr<dekvanto::app::EngineLibrary> library_;
    Mxl40_StartStop_Fn start_stop_ = nullptr;
    Mxl40_SetTrace_Fn set_trace_ = nullptr;
    std::unique_ptr<ByteTrace> trace_;
    std::optional<dekvanto::app::EventWriter> events_;
    std::unique_ptr<ConsoleView> view_;

    // The attempt under way.
    AttemptKind kind_ = AttemptKind::kCandidate;
    bool answered_ = false;   // a phone answered its line setup frame
    bool unit_open_ = false;  // it is a unit whose start line is written
    DownloadOutcome outcome_;
    dekvanto::app::UnitRecord record_;

    int unit_;  // the number of the next unit
    int failed_ = 0;
    bool stopped_ = false;        // a unit was stopped
    bool no_more_units_ = false;  // the parent refused a unit, or the input has ended
    std::optional<int> stop_status_;
};

int BenchStation::Run() {
    if (const std::optional<int> refused = Prepare()) {
        return *refused;
    }
    InterruptGuard interrupts(start_stop_);
    set_trace_(&OnTraceBytes, this);
    Loop();
    set_trace_(nullptr, nullptr);
    return Status();
}

std::optional<int> BenchStation::Prepare() {
    port_ = options_.download.station_port;
    const dekvanto::app::ProgramFiles files = context_.Files();
    dekvanto::app::DownloadOverrides overrides = options_.download.request;
    overrides.port = port_;
    std::optional<dekvanto::app::RequestRefusal> refused =
        dekvanto::app::BuildDownloadRequest(overrides, files, request_);
    if (!refused) {
        refused = dekvanto::app::BuildRecordConstants(request_, DEKVANTO_VERSION, constants_);
    }
    if (refused) {
        Stop(refused->text, ExitStatusOf(refused->status));
        return stop_status_;
    }
    port_ = request_.settings.port_name;
    std::string error;
    record_file_ = dekvanto::app::RecordFile::Open(options_.record, error);
    if (!record_file_) {
        Stop(error, kFileError);
        return stop_status_;
    }
    if (const PortDiagnosis found = CheckPortBeforeDownload(port_);
        found.problem != PortProblem::kNone) {
        Stop(PortProblemText(port_, found),
             found.problem == PortProblem::kBadName ? kBadUsage : kPortError);
        return stop_status_;
    }
    library_ = dekvanto::app::EngineLibrary::Load(files.engine_library);
    if (library_) {
        start_stop_ = reinterpret_cast<Mxl40_StartStop_Fn>(library_->Find("Mxl40_StartStop"));
        set_trace_ = reinterpret_cast<Mxl40_SetTrace_Fn>(library_->Find("Mxl40_SetTrace"));
    }
    if (start_stop_ == nullptr || set_trace_ == nullptr) {
        // Without the byte trace a station cannot tell that a phone answered.
        Stop("cannot load the engine library " + files.engine_library.string() +
                 " with its byte trace",
             kOtherFailure);
        return stop_status_;
    }
    if (options_.download.trace_file) {
        const std::string file = *options_.download.trace_file + "." + port_;
        trace_ = std::make_unique<ByteTrace>(file);
        if (!trace_->Good()) {
            Stop("cannot write the trace file " + file, kFileError);
            return stop_status_;
        }
    }
    device_ = dekvanto::app::DeviceOfStation(port_);
    paths_.loader = request_.files.loader.path;
    paths_.code = request_.switches.code ? request_.files.code.path : "";
    paths_.perso = request_.switches.perso ? request_.files.perso.path : "";
    acknowledged_ = request_.settings.acknowledge != 0;
    if (options_.download.events) {
        events_.emplace([this](const std::string &line) { out_ << "J " << line << std::endl; },
                        port_);
    }
    view_ = std::make_unique<ConsoleView>(ViewMode::kStation, out_, console_, request_.total_bytes,
                                          false);
    return std::nullopt;
}

void BenchStation::Loop() {
    while (!stop_status_ && !no_more_units_ && InterruptCount() == 0) {
        if (options_.scan) {
            std::optional<std::string> unit_id;
            if (!WaitForScan(unit_id)) {
                return;
            }
            Attempt(AttemptKind::kScanned, unit_id);
            if (unit_open_) {
                FinishUnit();
            }
            // The line is let go for a while before the next unit, as between polls: a phone
            // (a simulated one too) needs a moment to see it.
            if (!SleepUnlessInterrupted(PollInterval())) {
                return;
            }
        } else if (!WaitForPhone() || !WaitForRemoval()) {
            return;
        }
    }
}

bool BenchStation::WaitForScan(std::optional<std::string> &unit_id) {
    Announce(WaitingFor::kPhone);
    unit_id = ParentLine("S ");
    return unit_id.has_value();
}

std::optional<std::string> BenchStation::ParentLine(std::string_view tag) {
    std::string line;
    for (;;) {
        switch (input_.Next(std::nullopt, line)) {
            case LineInput::Wake::kLine:
                if (line.starts_with(tag)) {
                    return line.substr(tag.size());
                }
                break;  // not the answer waited for
            case LineInput::Wake::kTimeout:
                break;
            case LineInput::Wake::kEnd:
            case LineInput::Wake::kInterrupt:
                no_more_units_ = true;
                return std::nullopt;
        }
    }
}

bool BenchStation::WaitForPhone() {
    Announce(WaitingFor::kPhone);
    for (;;) {
        Attempt(AttemptKind::kCandidate, std::nullopt);
        if (unit_open_) {
            FinishUnit();
            return !stop_status_ && !no_more_units_ && InterruptCount() == 0;
        }
        if (answered_ || InterruptCount() > 0) {
            return false;  // a unit refused by the parent or by its record, or Ctrl-C
        }
        if (!NoPhone()) {
            StopOn(outcome_);
            return false;
        }
        if (!PauseBetweenAttempts()) {
            return false;
        }
    }
}

bool BenchStation::WaitForRemoval() {
    Announce(WaitingFor::kRemoval);
    for (;;) {
        if (!PauseBetweenAttempts()) {
            return false;
        }
        Attempt(AttemptKind::kProbe, std::nullopt);
        if (InterruptCount() > 0) {
            return false;
        }
        if (answered_) {
            continue;  // still there
        }
        if (!NoPhone()) {
            StopOn(outcome_);
            return false;
        }
        return true;
    }
}

// Lets go of the line for the poll interval. False when the station must end: Ctrl-C, or the
// end of its input (no new unit).
bool BenchStation::PauseBetweenAttempts() {
    const auto until = std::chrono::steady_clock::now() + PollInterval();
    std::string line;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        switch (input_.Next(std::max(left, std::chrono::milliseconds(0)), line)) {
            case LineInput::Wake::kTimeout:
                return true;
            case LineInput::Wake::kLine:
                break;  // nothing is asked of a polling station between attempts
            case LineInput::Wake::kEnd:
                no_more_units_ = true;
                return false;
            case LineInput::Wake::kInterrupt:
                return false;
        }
    }
}

std::chrono::milliseconds BenchStation::PollInterval() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(options_.poll_seconds));
}

void BenchStation::Announce(WaitingFor what) {
    const int unit = what == WaitingFor::kPhone ? unit_ : unit_ - 1;
    out_ << "W " << (what == WaitingFor::kPhone ? "phone " : "removal ") << unit << std::endl;
    if (events_) {
        events_->Waiting(what, unit);
    }
}

void BenchStation::Attempt(AttemptKind kind, const std::optional<std::string> &unit_id) {
    kind_ = kind;
    answered_ = false;
    unit_open_ = false;
    if (kind != AttemptKind::kProbe) {
        record_ = {
            constants_, {port_, device_, unit_, unit_id, options_.operator_name, ""}, std::nullopt};
    }
    if (kind == AttemptKind::kScanned) {
        // A scanned unit is one from the start: recorded before its first byte.
        if (!WriteStartLine()) {
            return;
        }
        unit_open_ = true;
    } else {
        held_.Hold();
    }
    if (kind != AttemptKind::kProbe) {
        out_ << "U " << unit_ << (unit_id ? " " + *unit_id : "") << std::endl;
        if (events_) {
            events_->UnitStart(unit_);
        }
    }
    view_->SendEventsTo(kind != AttemptKind::kProbe && events_ ? &*events_ : nullptr);
    outcome_ = RunDownloadAttempt(*library_, *view_, request_);
    if (!unit_open_) {
        held_.Drop();
    }
}

void MX40_CALL BenchStation::OnTraceBytes(void *context, int32_t direction, int32_t phase,
                                          const uint8_t *bytes, uint32_t count) {
    auto *station = static_cast<BenchStation *>(context);
    if (station->trace_) {
        ByteTrace::OnBytes(station->trace_.get(), direction, phase, bytes, count);
    }
    if (direction == MX40_TRACE_RECEIVED && phase == MX40_PHASE_LINE_SETUP && !station->answered_) {
        station->answered_ = true;
        station->OnLineSetupAnswer();
    }
}

// Runs on the download's thread, inside the engine, before it goes on.
void BenchStation::OnLineSetupAnswer() {
    switch (kind_) {
        case AttemptKind::kScanned:
            return;
        case AttemptKind::kProbe:
            start_stop_(0);
            return;
        case AttemptKind::kCandidate:
            if (!GoAhead() || !WriteStartLine()) {
                start_stop_(0);
                return;
            }
            unit_open_ = true;
            held_.Release();
            return;
    }
}

// With --count the parent counts the units of every station: it answers "G" while the count is
// not reached, and ends the input once it is.
bool BenchStation::GoAhead() {
    if (!options_.count) {
        return true;
    }
    console_.out << "A " << unit_ << std::endl;
    return ParentLine("G").has_value();
}

bool BenchStation::WriteStartLine() {
    record_.start.started = dekvanto::app::UtcTimestamp(std::chrono::system_clock::now());
    std::string error;
    if (!record_file_->Append(dekvanto::app::StartLine(record_), error)) {
        held_.Drop();
        Stop(error, kFileError);
        return false;
    }
    return true;
}

void BenchStation::FinishUnit() {
    dekvanto::app::EndUnit(record_, outcome_, std::chrono::system_clock::now());
    std::string record_error;
    const bool recorded = record_file_->Append(dekvanto::app::EndLine(record_), record_error);
    if (events_) {
        dekvanto::app::UnitEnding ending;
        if (outcome_.result) {
            ending.result = static_cast<char>(*outcome_.result & 0xFF);
        }
        ending.status = ExitStatusOf(outcome_.status);
        ending.seconds = outcome_.seconds;
        ending.bytes = outcome_.bytes;
        if (outcome_.result == MX40_RESULT_PORT_ERROR) {
            ending.error = PortProblemText(port_, DiagnosePortError(port_));
        }
        events_->UnitEnd(ending);
    }
    out_ << "F " << unit_ << " "
         << dekvanto::app::UnitResultText(outcome_, dekvanto::app::StageOf(outcome_.lines, paths_),
                                          acknowledged_)
         << std::endl;
    if (outcome_.status == OutcomeClass::kStopped) {
        stopped_ = true;
    } else if (outcome_.status != OutcomeClass::kFinished) {
        ++failed_;
    }
    ++unit_;
    unit_open_ = false;
    if (!recorded) {
        Stop(record_error, kFileError);
    }
}

// An attempt that nobody answered, as a line without a phone ends: no acknowledgement of the
// line setup frame.
bool BenchStation::NoPhone() const {
    return !answered_ && outcome_.result && (*outcome_.result & 0xFFFF) == MX40_RESULT_NO_ACK;
}

void BenchStation::StopOn(const DownloadOutcome &outcome) {
    if (outcome.result == MX40_RESULT_PORT_ERROR) {
        Stop(PortProblemText(port_, DiagnosePortError(port_)), kPortError);
        return;
    }
    const dekvanto::app::DownloadStage stage = dekvanto::app::StageOf(outcome.lines, paths_);
    Stop("the station stops: " + dekvanto::app::FailureReason(outcome, stage, acknowledged_),
         ExitStatusOf(outcome.status));
}

void BenchStation::Stop(const std::string &text, int status) {
    console_.out << "E " << text << std::endl;
    stop_status_ = status;
}

int BenchStation::Status() const {
    if (stop_status_) {
        return *stop_status_;
    }
    if (stopped_ || InterruptCount() > 0) {
        return kStopped;
    }
    return failed_ > 0 ? kUnitsFailed : kFinished;
}

}  // namespace

int RunBenchStation(const BenchOptions &options, Console &console, const Context &context) {
    BenchStation station(options, console, context);
    return station.Run();
}

}  // namespace dekvanto::cli
