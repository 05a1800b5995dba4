#include "download_command.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "byte_trace.h"
#include "console_view.h"
#include "core/bench/bench_rules.h"
#include "core/bench/station_messages.h"
#include "core/download/download_control.h"
#include "core/download/download_events.h"
#include "core/download/download_request.h"
#include "core/download/engine_library.h"
#include "core/text/outside_text.h"
#include "core/window/string_table.h"
#include "dekvanto/platform/interrupt.h"
#include "exit_status.h"
#include "port_check.h"
#include "stations.h"

namespace dekvanto::cli {
namespace {

using dekvanto::core::DownloadOutcome;
using dekvanto::core::OutcomeClass;

// An attempt that ended before the download control ran.
DownloadOutcome EndedBefore(OutcomeClass status) {
    DownloadOutcome outcome;
    outcome.status = status;
    return outcome;
}

// How one station reports: errors, the events (with --events) and the JSON summary at the end.
class StationReport {
  public:
    StationReport(const DownloadOptions &options, const std::string &port, Console &console)
        : options_(options), console_(console) {
        summary_["port"] = port;
    }

    bool Station() const { return !options_.station_port.empty(); }
    std::ostream &Log() {
        return Station() ? console_.out : options_.MachineOutput() ? console_.err : console_.out;
    }
    // The writer of this unit's events once it has begun; null without --events.
    dekvanto::core::EventWriter *Events() { return events_ ? &*events_ : nullptr; }

    // The unit begins at the port it downloads through (known once the settings are read). A
    // station always has its events: they are how its parent learns of the download.
    void Begin(const std::string &port) {
        if ((!options_.events && !Station()) || events_) {
            return;
        }
        events_.emplace(EventSink(), port);
        events_->UnitStart(1);
    }

    void Error(const std::string &text) {
        if (Station()) {
            console_.out << dekvanto::core::StationMessageLine(
                                {.kind = dekvanto::core::StationMessageKind::kError, .text = text})
                         << std::endl;
        } else {
            console_.err << "vanto: " << dekvanto::core::TerminalText(text) << std::endl;
        }
        summary_["error"] = text;
        error_ = text;
    }

    // Prints the summary where it is asked for, ends the events, and returns the exit status.
    int End(const DownloadOutcome &outcome) {
        const int status = ExitStatusOf(outcome.status);
        summary_["status"] = status;
        summary_["lines"] = outcome.lines;
        summary_["bytes"] = outcome.bytes;
        summary_["result"] = nullptr;
        std::optional<char> result;
        if (outcome.result) {
            result = static_cast<char>(*outcome.result);
            summary_["result"] = std::string(1, *result);
        }
        summary_["seconds"] = outcome.seconds;
        if (outcome.map_check) {
            summary_["map_check"] = *outcome.map_check;
        }
        // A path in an 8-bit code page is not UTF-8: its bad bytes are replaced, never fatal.
        const std::string summary =
            summary_.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        if (Station()) {
            console_.out << dekvanto::core::StationMessageLine(
                                {.kind = dekvanto::core::StationMessageKind::kSummary,
                                 .summary = summary_})
                         << std::endl;
        } else if (options_.json) {
            console_.out << summary << std::endl;
        }
        if (options_.events || Station()) {
            // A refusal before the port was known still makes a whole unit.
            Begin(summary_["port"].get<std::string>());
            events_->UnitEnd({result, status, outcome.seconds, outcome.bytes, error_});
        }
        return status;
    }

  private:
    // A station's events reach the parent as its messages, which it passes on.
    dekvanto::core::EventLineSink EventSink() {
        if (!Station()) {
            return dekvanto::core::LinesTo(console_.out);
        }
        return [this](const std::string &line) {
            console_.out << dekvanto::core::EventMessageLine(line) << std::endl;
        };
    }

    const DownloadOptions &options_;
    Console &console_;
    nlohmann::json summary_;
    std::optional<dekvanto::core::EventWriter> events_;
    std::optional<std::string> error_;
};

ViewMode ModeFor(const StationReport &report, const Console &console,
                 const DownloadOptions &options) {
    if (report.Station()) {
        return ViewMode::kStation;
    }
    return console.terminal && !options.MachineOutput() ? ViewMode::kTerminal : ViewMode::kPlain;
}

}  // namespace

int RunOneStation(const DownloadOptions &options, const std::string &port, Console &console,
                  const Context &context) {
    StationReport report(options, port, console);
    const dekvanto::core::ProgramFiles files = context.Files();
    dekvanto::core::DownloadOverrides overrides = options.request;
    overrides.port = port;
    dekvanto::core::DownloadRequest request;
    if (const auto refused = dekvanto::core::BuildDownloadRequest(overrides, files, request)) {
        report.Error(refused->text);
        return report.End(EndedBefore(refused->status));
    }
    const std::string &port_name = request.settings.port_name;
    report.Begin(port_name);
    if (const PortDiagnosis found = CheckPortBeforeDownload(port_name);
        found.problem != PortProblem::kNone) {
        report.Error(PortProblemText(port_name, found));
        return report.End(EndedBefore(found.problem == PortProblem::kBadName
                                          ? OutcomeClass::kBadRequest
                                          : OutcomeClass::kPortError));
    }
    std::unique_ptr<dekvanto::core::EngineLibrary> library;
    if (context.engine == nullptr) {
        library = dekvanto::core::EngineLibrary::Load(files.engine_library);
        if (!library) {
            report.Error("cannot load the engine library " + files.engine_library.string());
            return report.End(EndedBefore(OutcomeClass::kOtherFailure));
        }
    }
    auto find = [&library](const char *name) { return library ? library->Find(name) : nullptr; };
    std::unique_ptr<ByteTrace> trace;
    auto set_trace = reinterpret_cast<Mxl40_SetTrace_Fn>(find("Mxl40_SetTrace"));
    if (options.trace_file) {
        // Stations side by side each write their own file: FILE.COM<n>.
        const std::string file =
            *options.trace_file + (report.Station() ? "." + options.station_port : "");
        trace = std::make_unique<ByteTrace>(file);
        if (!trace->Good()) {
            report.Error("cannot write the trace file " + file + ": " + trace->Error().message());
            return report.End(EndedBefore(OutcomeClass::kFileError));
        }
        if (set_trace == nullptr) {
            report.Error("the engine library " + files.engine_library.string() +
                         " has no byte trace");
            return report.End(EndedBefore(OutcomeClass::kOtherFailure));
        }
        set_trace(&ByteTrace::OnBytes, trace.get());
    }

    platform::InterruptGuard interrupts(
        reinterpret_cast<Mxl40_StartStop_Fn>(find("Mxl40_StartStop")));
    if (report.Station()) {
        interrupts.EndWithParent();
    }
    ConsoleView view(ModeFor(report, console, options), report.Log(), console, request.total_bytes,
                     options.request.step);
    view.SendEventsTo(report.Events());
    dekvanto::core::Engine *engine = library ? library.get() : context.engine;
    const DownloadOutcome outcome = RunDownloadAttempt(*engine, view, request);
    if (trace && set_trace != nullptr) {
        set_trace(nullptr, nullptr);
    }
    if (outcome.result == MX40_RESULT_PORT_ERROR) {
        report.Error(PortProblemText(port_name, DiagnosePortError(port_name)));
    }
    return report.End(outcome);
}

DownloadOutcome RunDownloadAttempt(dekvanto::core::Engine &engine, ConsoleView &view,
                                   dekvanto::core::DownloadRequest &request) {
    dekvanto::core::DownloadControl control(engine, view, request.settings, request.files,
                                            request.switches, request.store);
    view.OnInterrupt([&control] { control.OnStartStop(); });
    view.OnEngineMessages(control);
    DownloadOutcome outcome;
    if (platform::InterruptCount() == 0) {
        view.StartClock();
        control.OnStartStop();
        outcome = control.Outcome();
    } else {
        const std::string canceled(
            dekvanto::core::AppString(dekvanto::core::StringId::kDownloadCanceled));
        view.AddLogLine(canceled);
        outcome.lines.push_back(canceled);
    }
    view.EndBar();
    view.OnInterrupt({});
    view.StopEngineMessages();
    if (platform::InterruptCount() > 0 && !outcome.result) {
        outcome.status = OutcomeClass::kStopped;
    }
    return outcome;
}

int RunDownloadCommand(const DownloadOptions &options, const std::vector<std::string> &args,
                       Console &console, const Context &context) {
    if (options.events && options.json) {
        console.err << "vanto: --events and --json both write standard output: choose one"
                    << std::endl;
        return kBadUsage;
    }
    if (!options.station_port.empty()) {
        return RunOneStation(options, options.station_port, console, context);
    }
    if (options.ports.size() > dekvanto::core::kMaxBenchStations) {
        console.err << "vanto: at most " << dekvanto::core::kMaxBenchStations
                    << " ports at once: one station process each" << std::endl;
        return kBadUsage;
    }
    if (options.ports.size() > 1) {
        if (options.request.step) {
            console.err << "vanto: --step needs one port: several stations cannot share Enter"
                        << std::endl;
            return kBadUsage;
        }
        return RunStations(options, args, console, context);
    }
    return RunOneStation(options, options.ports.empty() ? "" : options.ports.front(), console,
                         context);
}

}  // namespace dekvanto::cli
