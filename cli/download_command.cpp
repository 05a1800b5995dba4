#include "download_command.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "byte_trace.h"
#include "console_view.h"
#include "core/download_control.h"
#include "core/engine_library.h"
#include "core/program_folder.h"
#include "core/string_table.h"
#include "download_setup.h"
#include "exit_status.h"
#include "interrupt.h"
#include "port_check.h"
#include "recording_engine.h"
#include "stations.h"

namespace dekvanto::cli {
namespace {

std::filesystem::path ProgramDirectory() {
    return dekvanto::app::RunningProgramDirectory().value_or(std::filesystem::current_path());
}

std::filesystem::path EngineLibraryPath(const Context &context) {
    if (!context.engine_library.empty()) {
        return context.engine_library;
    }
    return ProgramDirectory() / MX40_LIBRARY_FILE_NAME;
}

// How one station reports: errors, and the JSON summary at the end.
class StationReport {
  public:
    StationReport(const DownloadOptions &options, const std::string &port, Console &console)
        : options_(options), console_(console) {
        summary_["port"] = port;
    }

    bool Station() const { return !options_.station_port.empty(); }
    std::ostream &Log() {
        return options_.json || Station() ? (Station() ? console_.out : console_.err)
                                          : console_.out;
    }

    void Error(const std::string &text) {
        if (Station()) {
            console_.out << "E " << text << std::endl;
        } else {
            console_.err << "vanto: " << text << std::endl;
        }
        summary_["error"] = text;
    }

    // Prints the summary where it is asked for, and returns the status.
    int End(int status, const ConsoleView *view, const RecordingEngine *engine) {
        summary_["status"] = status;
        if (view != nullptr) {
            summary_["lines"] = view->Lines();
            summary_["bytes"] = view->Bytes();
        } else {
            summary_["lines"] = nlohmann::json::array();
            summary_["bytes"] = 0;
        }
        summary_["result"] = nullptr;
        summary_["seconds"] = 0.0;
        if (engine != nullptr) {
            if (engine->map_check) {
                summary_["map_check"] = *engine->map_check;
            }
            if (engine->download) {
                summary_["result"] = std::string(1, static_cast<char>(*engine->download & 0xFFFF));
                summary_["seconds"] = engine->download_seconds;
            }
        }
        if (Station()) {
            console_.out << "R " << summary_.dump() << std::endl;
        } else if (options_.json) {
            console_.out << summary_.dump() << std::endl;
        }
        return status;
    }

  private:
    const DownloadOptions &options_;
    Console &console_;
    nlohmann::json summary_;
};

// The status that the attempt came to.
int StatusOf(const RecordingEngine &engine) {
    if (engine.map_check && *engine.map_check != MX40_MAP_COMPATIBLE) {
        return StatusOfMapCheck(*engine.map_check);
    }
    if (engine.download) {
        return StatusOfDownloadResult(*engine.download);
    }
    return kOtherFailure;
}

ViewMode ModeFor(const StationReport &report, const Console &console, bool json) {
    if (report.Station()) {
        return ViewMode::kStation;
    }
    return console.terminal && !json ? ViewMode::kTerminal : ViewMode::kPlain;
}

}  // namespace

int RunOneStation(const DownloadOptions &options, const std::string &port, Console &console,
                  const Context &context) {
    StationReport report(options, port, console);
    DownloadSetup setup;
    if (const auto refused = PrepareDownload(options, port, ProgramDirectory(), setup)) {
        report.Error(refused->text);
        return report.End(refused->status, nullptr, nullptr);
    }
    const std::string &port_name = setup.settings.port_name;
    if (const PortDiagnosis found = CheckPortBeforeDownload(port_name);
        found.problem != PortProblem::kNone) {
        report.Error(PortProblemText(port_name, found));
        return report.End(found.problem == PortProblem::kBadName ? kBadUsage : kPortError, nullptr,
                          nullptr);
    }
    const std::filesystem::path library_path = EngineLibraryPath(context);
    const auto library = dekvanto::app::EngineLibrary::Load(library_path);
    if (!library) {
        report.Error("cannot load the engine library " + library_path.string());
        return report.End(kOtherFailure, nullptr, nullptr);
    }
    std::unique_ptr<ByteTrace> trace;
    auto set_trace = reinterpret_cast<Mxl40_SetTrace_Fn>(library->Find("Mxl40_SetTrace"));
    if (options.trace_file) {
        // Stations side by side each write their own file: FILE.COM<n>.
        const std::string file =
            *options.trace_file + (report.Station() ? "." + options.station_port : "");
        trace = std::make_unique<ByteTrace>(file);
        if (!trace->Good()) {
            report.Error("cannot write the trace file " + file);
            return report.End(kFileError, nullptr, nullptr);
        }
        if (set_trace == nullptr) {
            report.Error("the engine library " + library_path.string() + " has no byte trace");
            return report.End(kOtherFailure, nullptr, nullptr);
        }
        set_trace(&ByteTrace::OnBytes, trace.get());
    }

    InterruptGuard interrupts(
        reinterpret_cast<Mxl40_StartStop_Fn>(library->Find("Mxl40_StartStop")));
    RecordingEngine engine(*library);
    ConsoleView view(ModeFor(report, console, options.json), report.Log(), console,
                     setup.total_bytes, options.step);
    dekvanto::app::DownloadControl control(engine, view, setup.settings, *setup.files,
                                           setup.switches, *setup.store);
    view.OnInterrupt([&control] { control.OnStartStop(); });
    view.OnEngineMessages(control);
    if (InterruptCount() == 0) {
        view.StartClock();
        control.OnStartStop();
    } else {
        view.AddLogLine(dekvanto::app::AppString(dekvanto::app::StringId::kDownloadCanceled));
    }
    view.EndBar();
    if (trace && set_trace != nullptr) {
        set_trace(nullptr, nullptr);
    }
    int status = InterruptCount() > 0 && !engine.download ? kStopped : StatusOf(engine);
    if (engine.download && (*engine.download & 0xFFFF) == MX40_RESULT_PORT_ERROR) {
        report.Error(PortProblemText(port_name, DiagnosePortError(port_name)));
    }
    return report.End(status, &view, &engine);
}

int RunDownloadCommand(const DownloadOptions &options, const std::vector<std::string> &args,
                       Console &console, const Context &context) {
    if (!options.station_port.empty()) {
        return RunOneStation(options, options.station_port, console, context);
    }
    if (options.ports.size() > 1) {
        if (options.step) {
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
