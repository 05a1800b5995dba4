#include "bench_command.h"

#include <algorithm>
#include <ostream>

#include "bench_board.h"
#include "bench_station.h"
#include "core/download_request.h"
#include "core/record_file.h"
#include "interrupt.h"
#include "station_board.h"
#include "station_processes.h"

namespace dekvanto::cli {
namespace {

// Why this bench cannot start, before any station does; nothing when it can. Fills ports with
// the stations' ports (the settings file's port when none is given).
std::optional<std::string> RefusalOfBench(const BenchOptions &options, const Context &context,
                                          std::vector<std::string> &ports, int &status) {
    ports = options.download.ports;
    dekvanto::app::DownloadOverrides overrides = options.download.request;
    overrides.port = ports.empty() ? "" : ports.front();
    dekvanto::app::DownloadRequest request;
    if (const auto refused =
            dekvanto::app::BuildDownloadRequest(overrides, context.Files(), request)) {
        status = ExitStatusOf(refused->status);
        return refused->text;
    }
    status = kBadUsage;
    if (ports.empty()) {
        ports.push_back(request.settings.port_name);
    }
    for (auto port = ports.begin(); port != ports.end(); ++port) {
        if (std::find(ports.begin(), port, *port) != port) {
            return *port + " is given twice: one station per port";
        }
    }
    if (request.settings.acknowledge == 0 && !options.scan) {
        return "in blind mode the line cannot tell whether a phone is there: a blind bench "
               "needs --scan";
    }
    if (request.settings.pause != 0) {
        return "a bench runs unattended: step mode waits for Enter at every phone";
    }
    std::string error;
    if (!dekvanto::app::RecordFile::Open(options.record, error)) {
        status = kFileError;
        return error;
    }
    return std::nullopt;
}

// Does to a station what the board asks.
void Carry(const StationMessage &message, const std::vector<std::string> &ports,
           const std::vector<std::string> &args, StationProcesses &processes, BenchBoard &board,
           InterruptGuard &interrupts) {
    switch (message.action) {
        case StationMessage::Action::kWrite:
            if (message.line) {
                processes.Send(message.station, *message.line);
            } else {
                processes.CloseInput(message.station);
            }
            break;
        case StationMessage::Action::kStop:
            if (const long id = processes.Id(message.station); id > 0) {
                InterruptProcess(id);
            }
            break;
        case StationMessage::Action::kStart: {
            std::vector<std::string> station_args = StationArguments(args, ports[message.station]);
            station_args.insert(station_args.end(),
                                {"--first-unit", std::to_string(message.first_unit)});
            if (!processes.Restart(message.station, station_args)) {
                board.OnNotStarted(message.station,
                                   "could not start " + processes.Program().string());
            }
            interrupts.ForwardTo(processes.Ids());
            break;
        }
    }
}

int RunStationsOfBench(const BenchOptions &options, const std::vector<std::string> &ports,
                       const std::vector<std::string> &args, Console &console,
                       const Context &context) {
    std::vector<BenchStationState> stations(ports.size());
    // The bench's own input is read in every mode: it takes the stop and start lines.
    StationProcesses processes(context, true, true);
    // Every Ctrl-C is passed on to the stations, which stop by themselves.
    InterruptGuard interrupts(nullptr);
    const bool live = console.terminal && !options.download.events;
    BenchBoard board(stations, options.download.events ? console.err : console.out,
                     live ? (console.columns > 0 ? console.columns : 80) : 0,
                     options.download.events ? &console.out : nullptr, options.count, options.scan);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        stations[i].port = ports[i];
    }
    board.Begin();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (!processes.Start(StationArguments(args, ports[i]))) {
            board.OnNotStarted(i, "could not start " + processes.Program().string());
        }
    }
    interrupts.ForwardTo(processes.Ids());
    using Kind = StationProcesses::News::Kind;
    int interrupts_seen = 0;
    while (processes.OutputOpen() || board.AnyStopped()) {
        const StationProcesses::News news =
            processes.Next(live ? std::chrono::milliseconds(250) : std::chrono::seconds(1));
        const auto now = BenchBoard::Clock::now();
        switch (news.kind) {
            case Kind::kOutput:
                board.OnOutput(news.station, news.bytes, now);
                break;
            case Kind::kOwnInput:
                board.OnOwnInput(news.bytes);
                break;
            case Kind::kOwnInputEnded:
                board.OnOwnInputEnded();
                break;
            case Kind::kOutputEnded:
                board.OnStationEnded(news.station, processes.Reap(news.station));
                interrupts.ForwardTo(processes.Ids());
                break;
            case Kind::kNothing:
                break;
        }
        if (InterruptCount() > interrupts_seen) {
            interrupts_seen = InterruptCount();
            board.OnInterrupt();
        }
        for (const StationMessage &message : board.TakeMessages()) {
            Carry(message, ports, args, processes, board, interrupts);
        }
        board.Tick(now);
    }
    interrupts.ForwardTo({});
    return board.Finish();
}

}  // namespace

int RunBenchCommand(const BenchOptions &options, const std::vector<std::string> &args,
                    Console &console, const Context &context) {
    if (!options.download.station_port.empty()) {
        return RunBenchStation(options, console, context);
    }
    std::vector<std::string> ports;
    int status = kBadUsage;
    if (const auto refused = RefusalOfBench(options, context, ports, status)) {
        console.err << "vanto: " << *refused << std::endl;
        return status;
    }
    return RunStationsOfBench(options, ports, args, console, context);
}

}  // namespace dekvanto::cli
