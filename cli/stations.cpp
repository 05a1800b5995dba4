#include "stations.h"

#include "dekvanto/platform/interrupt.h"
#include "dekvanto/platform/station_processes.h"
#include "exit_status.h"
#include "ports_board.h"
#include "station_arguments.h"

namespace dekvanto::cli {

int RunStations(const DownloadOptions &options, const std::vector<std::string> &args,
                Console &console, const Context &context) {
    std::vector<StationState> stations(options.ports.size());
    platform::StationProcesses processes(context.program, false, false);
    // Every Ctrl-C is passed on to the stations, which end by themselves; the parent only must
    // not end on it.
    platform::InterruptGuard interrupts(nullptr);
    for (std::size_t i = 0; i < stations.size(); ++i) {
        stations[i].port = options.ports[i];
        if (!processes.Start(StationArguments(args, stations[i].port))) {
            stations[i].last_line = "could not start " + processes.Program().string();
        }
    }
    interrupts.ForwardTo(processes.Ids());
    PortsBoard board(stations, options.MachineOutput() ? console.err : console.out,
                     console.terminal && !options.MachineOutput(),
                     options.events ? &console.out : nullptr);
    board.Begin();
    using Kind = platform::StationProcesses::News::Kind;
    while (processes.OutputOpen()) {
        const platform::StationProcesses::News news = processes.Next(std::chrono::seconds(1));
        if (news.kind == Kind::kOutput) {
            board.OnOutput(stations[news.station], news.bytes.data(), news.bytes.size());
        }
    }
    for (std::size_t i = 0; i < stations.size(); ++i) {
        stations[i].status = processes.Reap(i).value_or(kOtherFailure);
    }
    interrupts.ForwardTo({});
    return FinishStations(stations, options, console);
}

}  // namespace dekvanto::cli
