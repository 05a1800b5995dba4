#include "bench_station.h"

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "byte_trace.h"
#include "console_view.h"
#include "core/bench/station_cycle.h"
#include "core/bench/station_messages.h"
#include "core/bench/unit_checks.h"
#include "core/download/download_events.h"
#include "core/download/download_request.h"
#include "core/download/engine_library.h"
#include "core/records/record_file.h"
#include "core/records/record_lines.h"
#include "core/records/record_tail.h"
#include "core/records/record_time.h"
#include "core/records/unit_record.h"
#include "dekvanto/platform/interrupt.h"
#include "download_command.h"
#include "exit_status.h"
#include "line_input.h"
#include "port_check.h"

#ifndef DEKVANTO_VERSION
#define DEKVANTO_VERSION "0.0.0"
#endif

namespace dekvanto::cli {
namespace {

namespace app = dekvanto::core;
using core::AttemptKind;
using core::StationStep;
using core::StationSteps;
using Kind = StationStep::Kind;

class BenchStation {
  public:
    BenchStation(const BenchOptions &options, Console &console, const Context &context)
        : options_(options), console_(console), context_(context), input_(console.in_descriptor) {}

    int Run();

  private:
    std::optional<int> Prepare();
    core::StationPlan Plan() const;
    void Carry(StationSteps steps);
    std::optional<StationSteps> Do(const StationStep &step);
    StationSteps Ask(int unit);
    StationSteps Attempt(AttemptKind kind);
    StationSteps Pause();
    std::optional<StationSteps> CheckUnit();
    std::optional<StationSteps> Append(const std::string &line);
    void ReportUnitStart(const StationStep &step);
    void ReportUnitEnd(const StationStep &step);
    std::string RemovalLineOf(int unit) const;
    void Send(const core::StationMessage &message);
    void Refuse(const std::string &text);
    void OnLineSetupAnswer();

    static void MX40_CALL OnTraceBytes(void *context, int32_t direction, int32_t phase,
                                       const uint8_t *bytes, uint32_t count);

    const BenchOptions &options_;
    Console &console_;
    const Context &context_;
    LineInput input_;

    std::string port_;
    core::DownloadRequest request_;
    core::RecordConstants constants_;
    std::optional<core::RecordFile> record_file_;
    core::RecordDevice device_;  // the device the station started with
    std::optional<core::LastUnit> last_unit_;
    std::unique_ptr<core::EngineLibrary> library_;
    Mxl40_StartStop_Fn start_stop_ = nullptr;
    Mxl40_SetTrace_Fn set_trace_ = nullptr;
    std::unique_ptr<ByteTrace> trace_;
    std::optional<core::EventWriter> events_;
    std::unique_ptr<ConsoleView> view_;
    std::unique_ptr<core::StationCycle> cycle_;

    // The attempt under way.
    bool answered_ = false;
    core::DownloadOutcome outcome_;
    core::UnitRecord record_;  // of the unit running or last ended
    bool unit_recorded_ = false;
    int interrupts_told_ = 0;
};

int BenchStation::Run() {
    if (const std::optional<int> refused = Prepare()) {
        return *refused;
    }
    platform::InterruptGuard interrupts(start_stop_);
    interrupts.EndWithParent();
    set_trace_(&OnTraceBytes, this);
    cycle_ = std::make_unique<core::StationCycle>(Plan());
    Carry(cycle_->Begin());
    set_trace_(nullptr, nullptr);
    return cycle_->Status();
}

void BenchStation::Refuse(const std::string &text) {
    Send({.kind = core::StationMessageKind::kError, .text = text});
}

void BenchStation::Send(const core::StationMessage &message) {
    console_.out << core::StationMessageLine(message) << std::endl;
}

std::optional<int> BenchStation::Prepare() {
    port_ = options_.download.station_port;
    const core::ProgramFiles files = context_.Files();
    core::DownloadOverrides overrides = options_.download.request;
    overrides.port = port_;
    std::optional<core::RequestRefusal> refused =
        core::BuildDownloadRequest(overrides, files, request_);
    if (!refused) {
        refused = core::BuildRecordConstants(request_, DEKVANTO_VERSION, constants_);
    }
    if (refused) {
        Refuse(refused->text);
        return ExitStatusOf(refused->status);
    }
    port_ = request_.settings.port_name;
    std::string error;
    record_file_ = core::RecordFile::Open(options_.record, error);
    if (!record_file_) {
        Refuse(error);
        return kFileError;
    }
    if (const PortDiagnosis found = CheckPortBeforeDownload(port_);
        found.problem != PortProblem::kNone) {
        Refuse(PortProblemText(port_, found));
        return found.problem == PortProblem::kBadName ? kBadUsage : kPortError;
    }
    library_ = core::EngineLibrary::Load(files.engine_library);
    if (library_) {
        start_stop_ = reinterpret_cast<Mxl40_StartStop_Fn>(library_->Find("Mxl40_StartStop"));
        set_trace_ = reinterpret_cast<Mxl40_SetTrace_Fn>(library_->Find("Mxl40_SetTrace"));
    }
    if (start_stop_ == nullptr || set_trace_ == nullptr) {
        // Without the byte trace a station cannot tell that a phone answered.
        Refuse("cannot load the engine library " + files.engine_library.string() +
               " with its byte trace");
        return kOtherFailure;
    }
    if (options_.download.trace_file) {
        const std::string file = *options_.download.trace_file + "." + port_;
        trace_ = std::make_unique<ByteTrace>(file);
        if (!trace_->Good()) {
            Refuse("cannot write the trace file " + file + ": " + trace_->Error().message());
            return kFileError;
        }
    }
    device_ = core::DeviceOfStation(port_);
    last_unit_ = core::FindLastUnit(options_.record, constants_.host, port_);
    events_.emplace(
        [this](const std::string &line) {
            console_.out << core::EventMessageLine(line) << std::endl;
        },
        port_);
    view_ = std::make_unique<ConsoleView>(ViewMode::kStation, console_.out, console_,
                                          request_.total_bytes, false);
    return std::nullopt;
}

core::StationPlan BenchStation::Plan() const {
    core::StationPlan plan;
    plan.scan = options_.scan;
    plan.acknowledged = request_.settings.acknowledge != 0;
    plan.first_unit = options_.first_unit;
    if (last_unit_ && last_unit_->passed && !last_unit_->removed) {
        plan.phone_left = static_cast<int>(last_unit_->unit);
    }
    plan.paths.loader = request_.files.loader.path;
    plan.paths.code = request_.switches.code ? request_.files.code.path : "";
    plan.paths.perso = request_.switches.perso ? request_.files.perso.path : "";
    return plan;
}

// Carries out steps until one waits or the station ends; what a wait brings is carried out next.
void BenchStation::Carry(StationSteps steps) {
    while (!steps.empty()) {
        StationSteps next;
        for (const StationStep &step : steps) {
            if (std::optional<StationSteps> instead = Do(step)) {
                next = std::move(*instead);
                break;
            }
        }
        steps = std::move(next);
    }
}

// One step; what to carry out instead of the steps after it (the answer of a wait, the handling
// of a failure), or nothing to go on with them.
std::optional<StationSteps> BenchStation::Do(const StationStep &step) {
    switch (step.kind) {
        case Kind::kAnnounce:
            events_->Waiting(step.waiting_for, step.unit);
            return std::nullopt;
        case Kind::kAsk:
            return Ask(step.unit);
        case Kind::kAttempt:
            return Attempt(step.attempt);
        case Kind::kStopAttempt:
            start_stop_(0);
            return std::nullopt;
        case Kind::kCheckUnit:
            return CheckUnit();
        case Kind::kWriteStartLine:
            record_ = {constants_,
                       {port_, device_, step.unit, step.unit_id, options_.operator_name,
                        core::UtcTimestamp(std::chrono::system_clock::now())},
                       std::nullopt};
            if (std::optional<StationSteps> failed = Append(core::StartLine(record_))) {
                return failed;
            }
            unit_recorded_ = true;
            return std::nullopt;
        case Kind::kReportUnitStart:
            ReportUnitStart(step);
            return std::nullopt;
        case Kind::kWriteEndLine:
            core::EndUnit(record_, outcome_, std::chrono::system_clock::now());
            record_.end->status = core::OutcomeOfExitStatus(step.status);
            record_.end->reason = step.reason;
            return Append(core::EndLine(record_));
        case Kind::kReportUnitEnd:
            ReportUnitEnd(step);
            return std::nullopt;
        case Kind::kWriteRemovalLine:
            return Append(RemovalLineOf(step.unit));
        case Kind::kPause:
            return Pause();
        case Kind::kEnd:
            if (step.reason) {
                Refuse(*step.reason);
            }
            return StationSteps{};
    }
    return std::nullopt;
}

// Waits for the parent's answer; a Ctrl-C or the end of the input answers too.
StationSteps BenchStation::Ask(int unit) {
    Send({.kind = core::StationMessageKind::kAsk, .unit = unit});
    std::string line;
    for (;;) {
        switch (input_.Next(std::nullopt, line)) {
            case LineInput::Wake::kLine: {
                const core::StationMessageReading reading = core::ReadStationMessage(line);
                if (reading.message && reading.message->kind == core::StationMessageKind::kGo) {
                    return cycle_->OnGo(reading.message->unit_id);
                }
                break;  // not the answer waited for
            }
            case LineInput::Wake::kTimeout:
                break;
            case LineInput::Wake::kEnd:
                return cycle_->OnNoMoreUnits();
            case LineInput::Wake::kInterrupt:
                interrupts_told_ = platform::InterruptCount();
                return cycle_->OnInterrupt();
        }
    }
}

// Lets go of the line for the poll interval.
StationSteps BenchStation::Pause() {
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::duration<double>(options_.poll_seconds));
    std::string line;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        switch (input_.Next(std::max(left, std::chrono::milliseconds(0)), line)) {
            case LineInput::Wake::kTimeout:
                return cycle_->OnPauseEnded();
            case LineInput::Wake::kLine:
                break;  // nothing is asked of a station between attempts
            case LineInput::Wake::kEnd:
                return cycle_->OnNoMoreUnits();
            case LineInput::Wake::kInterrupt:
                interrupts_told_ = platform::InterruptCount();
                return cycle_->OnInterrupt();
        }
    }
}

StationSteps BenchStation::Attempt(AttemptKind kind) {
    if (platform::InterruptCount() > interrupts_told_) {
        interrupts_told_ = platform::InterruptCount();
        return cycle_->OnInterrupt();
    }
    core::AttemptEnd end;
    // The port must still lead where it did: a vanished register entry must not send the next
    // attempt to another port.
    if (const std::optional<std::string> moved =
            core::PortMoved(port_, device_.path, core::DevicePathOfStation(port_))) {
        end.outcome.status = core::OutcomeClass::kPortError;
        end.port_problem = *moved;
        return cycle_->OnAttemptEnded(end);
    }
    answered_ = false;
    // What an attempt says is held back until it is a unit, and dropped when it is none.
    if (kind == AttemptKind::kCandidate) {
        events_->Hold();
    }
    view_->SendEventsTo(kind == AttemptKind::kProbe ? nullptr : &*events_);
    outcome_ = RunDownloadAttempt(*library_, *view_, request_);
    view_->SendEventsTo(nullptr);
    events_->Drop();
    end.answered = answered_;
    end.outcome = outcome_;
    if (outcome_.result == MX40_RESULT_PORT_ERROR) {
        end.port_problem = PortProblemText(port_, DiagnosePortError(port_));
    }
    // A unit (a scanned one's start line was written before its attempt) is checked again: a file
    // that changed while it ran leaves what the phone received unknown.
    if (std::exchange(unit_recorded_, false)) {
        end.files_changed = core::ChangedFile(constants_.files);
    }
    return cycle_->OnAttemptEnded(end);
}

std::optional<StationSteps> BenchStation::CheckUnit() {
    if (const std::optional<std::string> changed = core::ChangedFile(constants_.files)) {
        return cycle_->OnUnitRefused(kFileError, *changed);
    }
    const core::RecordDevice device = core::DeviceOfStation(port_);
    if (const std::optional<std::string> moved =
            core::PortMoved(port_, device_.path, device.path)) {
        return cycle_->OnUnitRefused(kPortError, *moved);
    }
    device_ = device;  // the record names the adapter found now, for this unit
    return std::nullopt;
}

std::optional<StationSteps> BenchStation::Append(const std::string &line) {
    std::string error;
    if (!record_file_->Append(line, error)) {
        return cycle_->OnRecordFailed(error);
    }
    return std::nullopt;
}

void BenchStation::ReportUnitStart(const StationStep &step) {
    events_->UnitStart(step.unit, step.unit_id);  // then what the attempt held back
}

void BenchStation::ReportUnitEnd(const StationStep &step) {
    core::UnitEnding ending;
    if (outcome_.result) {
        ending.result = static_cast<char>(*outcome_.result & 0xFF);
    }
    ending.status = step.status;
    ending.seconds = outcome_.seconds;
    ending.bytes = outcome_.bytes;
    ending.error = step.error;
    ending.verdict = step.verdict;
    ending.reason = step.reason;
    events_->UnitEnd(ending);
}

// The removal line of a unit of this run, or of the earlier run's last unit.
std::string BenchStation::RemovalLineOf(int unit) const {
    core::UnitRecord record = record_;
    if (record.start.unit != unit && last_unit_ && last_unit_->unit == unit) {
        record = {constants_,
                  {port_, device_, unit, last_unit_->unit_id, options_.operator_name,
                   last_unit_->started},
                  std::nullopt};
    }
    return core::RemovalLine(record, core::UtcTimestamp(std::chrono::system_clock::now()));
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
    Carry(cycle_->OnAnswered());
}

}  // namespace

int RunBenchStation(const BenchOptions &options, Console &console, const Context &context) {
    BenchStation station(options, console, context);
    return station.Run();
}

}  // namespace dekvanto::cli
