#include "bench_command.h"

#include <ostream>

#include "bench_board.h"
#include "bench_forwarder.h"
#include "bench_station.h"
#include "core/bench/bench_control.h"
#include "core/bench/bench_rules.h"
#include "core/download/download_request.h"
#include "core/records/record_file.h"
#include "core/text/output_lines.h"
#include "core/text/outside_text.h"
#include "dekvanto/platform/interrupt.h"
#include "dekvanto/platform/station_processes.h"
#include "exit_status.h"
#include "station_arguments.h"

namespace dekvanto::cli {
namespace {

// Every station of a bench gets each Ctrl-C passed on.
static_assert(platform::kMostForwarded >= static_cast<int>(dekvanto::core::kMaxBenchStations));

namespace app = dekvanto::core;

// Why this bench cannot start, before any station does; nothing when it can. Fills ports with
// the stations' ports (the settings file's port when none is given).
std::optional<core::BenchRefusal> RefusalOfBench(const BenchOptions &options,
                                                 const Context &context,
                                                 std::vector<std::string> &ports) {
    ports = options.download.ports;
    core::DownloadOverrides overrides = options.download.request;
    overrides.port = ports.empty() ? "" : ports.front();
    core::DownloadRequest request;
    if (const auto refused = core::BuildDownloadRequest(overrides, context.Files(), request)) {
        return core::BenchRefusal{ExitStatusOf(refused->status), refused->text};
    }
    if (ports.empty()) {
        ports.push_back(request.settings.port_name);
    }
    core::BenchPlan plan{.ports = ports,
                         .scan = options.scan,
                         .acknowledged = request.settings.acknowledge != 0,
                         .step = request.settings.pause != 0,
                         .count = options.count,
                         .poll_seconds = options.poll_seconds,
                         .reboot_delay = request.store.ReadInt("Setting", "RebootDelay", 0)};
    if (auto refused = core::CheckBenchPlan(plan)) {
        return refused;
    }
    std::string error;
    if (!core::RecordFile::Open(options.record, error)) {
        return core::BenchRefusal{kFileError, error};
    }
    return std::nullopt;
}

// Runs the stations' processes as the bench's control says, and draws its state.
class BenchRun {
  public:
    BenchRun(const BenchOptions &options, const std::vector<std::string> &ports,
             const std::vector<std::string> &args, Console &console, const Context &context)
        : options_(options),
          ports_(ports),
          args_(args),
          console_(console),
          control_(ports, options.scan, options.count),
          // The bench's own input is read in every mode: it takes the stop and start lines.
          processes_(context.program, true, true),
          // Every Ctrl-C is passed on to the stations, which stop by themselves.
          interrupts_(nullptr),
          board_(options.download.events ? console.err : console.out,
                 console.terminal && !options.download.events
                     ? (console.columns > 0 ? console.columns : 80)
                     : 0),
          outputs_(ports.size(), core::LineSplitter(core::kMaxBenchLineBytes)),
          started_(ports.size(), false) {}

    int Run();

  private:
    core::BenchTime Now() const {
        return {std::chrono::steady_clock::now(), std::chrono::system_clock::now()};
    }
    void Carry(const core::BenchActions &actions);
    void Start(std::size_t station, int first_unit);
    void OnOutput(std::size_t station, std::string_view bytes);
    void OnOwnInput(std::string_view bytes);

    const BenchOptions &options_;
    const std::vector<std::string> &ports_;
    const std::vector<std::string> &args_;
    Console &console_;
    core::BenchControl control_;
    platform::StationProcesses processes_;
    platform::InterruptGuard interrupts_;
    BenchBoard board_;
    std::vector<core::LineSplitter> outputs_;
    core::LineSplitter own_input_{core::kMaxBenchLineBytes};
    std::vector<bool> started_;
};

int BenchRun::Run() {
    board_.Begin(control_.State(), std::chrono::steady_clock::now());
    Carry(control_.Begin(Now()));
    using Kind = platform::StationProcesses::News::Kind;
    int interrupts_seen = 0;
    const auto tick = board_.Live() ? std::chrono::milliseconds(250) : std::chrono::seconds(1);
    while (control_.Running() || processes_.OutputOpen()) {
        const platform::StationProcesses::News news = processes_.Next(tick);
        switch (news.kind) {
            case Kind::kOutput:
                OnOutput(news.station, news.bytes);
                break;
            case Kind::kOwnInput:
                OnOwnInput(news.bytes);
                break;
            case Kind::kOwnInputEnded:
                own_input_.Finish(
                    [&](const std::string &line, bool) { Carry(control_.OnOwnLine(line, Now())); });
                Carry(control_.OnOwnInputEnded(Now()));
                break;
            case Kind::kOutputEnded:
                outputs_[news.station].Finish([&](const std::string &line, bool) {
                    Carry(control_.OnStationLine(news.station, line, Now()));
                });
                Carry(control_.OnStationEnded(
                    news.station, processes_.Reap(news.station).value_or(kOtherFailure), Now()));
                interrupts_.ForwardTo(processes_.Ids());
                break;
            case Kind::kNothing:
                break;
        }
        if (platform::InterruptCount() > interrupts_seen) {
            interrupts_seen = platform::InterruptCount();
            Carry(control_.OnInterrupt(Now()));
        }
        board_.Tick(control_.State(), std::chrono::steady_clock::now());
    }
    interrupts_.ForwardTo({});
    int status = kOtherFailure;
    Carry(control_.Finish(Now(), status));
    board_.Finish(control_.State(), std::chrono::steady_clock::now());
    return status;
}

void BenchRun::OnOutput(std::size_t station, std::string_view bytes) {
    outputs_[station].Take(bytes, [&](const std::string &line, bool cut) {
        Carry(control_.OnStationLine(station, cut ? line + " [cut off]" : line, Now()));
    });
}

void BenchRun::OnOwnInput(std::string_view bytes) {
    own_input_.Take(bytes, [&](const std::string &line, bool cut) {
        if (cut) {
            Carry(control_.OnOwnLine("", Now()));
            console_.err << "vanto: a line of more than " << core::kMaxBenchLineBytes
                         << " bytes is not read" << std::endl;
            return;
        }
        Carry(control_.OnOwnLine(line, Now()));
    });
}

void BenchRun::Carry(const core::BenchActions &actions) {
    using Kind = core::BenchAction::Kind;
    for (const core::BenchAction &action : actions) {
        switch (action.kind) {
            case Kind::kSend:
                processes_.Send(action.station, action.line);
                break;
            case Kind::kCloseInput:
                processes_.CloseInput(action.station);
                break;
            case Kind::kStop:
                if (const long id = processes_.Id(action.station); id > 0) {
                    platform::InterruptProcess(id);
                }
                break;
            case Kind::kStart:
                Start(action.station, action.first_unit);
                break;
            case Kind::kEvent:
                if (options_.download.events) {
                    console_.out << core::EventLine(action.event) << '\n' << std::flush;
                }
                board_.OnEvent(action.event, control_.State(), std::chrono::steady_clock::now());
                break;
        }
    }
}

void BenchRun::Start(std::size_t station, int first_unit) {
    std::vector<std::string> station_args = StationArguments(args_, ports_[station]);
    if (first_unit > 1) {
        station_args.insert(station_args.end(), {"--first-unit", std::to_string(first_unit)});
    }
    const bool started = started_[station] ? processes_.Restart(station, station_args)
                                           : processes_.Start(station_args);
    started_[station] = true;
    interrupts_.ForwardTo(processes_.Ids());
    if (!started) {
        Carry(control_.OnNotStarted(station, "could not start " + processes_.Program().string(),
                                    Now()));
    }
}

}  // namespace

int RunBenchCommand(const BenchOptions &options, const std::vector<std::string> &args,
                    Console &console, const Context &context) {
    if (!options.download.station_port.empty()) {
        return RunBenchStation(options, console, context);
    }
    std::vector<std::string> ports;
    if (const auto refused = RefusalOfBench(options, context, ports)) {
        console.err << "vanto: " << dekvanto::core::TerminalText(refused->text) << std::endl;
        return refused->status;
    }
    std::unique_ptr<BenchForwarder> forwarder;
    if (options.database) {
        std::string refusal;
        forwarder = StartBenchForwarder(options.record, *options.database, console, refusal);
        if (!forwarder) {
            console.err << "vanto: " << dekvanto::core::TerminalText(refusal) << std::endl;
            return kBadUsage;
        }
    }
    BenchRun run(options, ports, args, console, context);
    const int status = run.Run();
    if (forwarder) {
        forwarder->Finish();
    }
    return status;
}

}  // namespace dekvanto::cli
