#include "bench_options.h"

#include <CLI/CLI.hpp>

#include "core/bench/bench_rules.h"
#include "exit_status.h"

namespace dekvanto::cli {

CLI::App *AddBenchCommand(CLI::App &app, BenchOptions &o) {
    CLI::App *cmd = app.add_subcommand(
        "bench",
        "Run a production bench: each port is a station that flashes every phone put on it, "
        "unattended, and writes a record of each unit. A station tries the download every "
        "--poll seconds; an attempt that no phone answers is no unit. After a unit it waits "
        "for the phone to be taken away, so a phone that stays is never flashed twice. Ends at "
        "Ctrl-C, after --count units, or (--scan) at the end of the input. Standard input also "
        "takes the lines \"stop COM<n>\" (that station ends as at Ctrl-C: its running unit is "
        "recorded as stopped) and \"start COM<n>\" (a stopped station starts again, its unit "
        "numbers going on).");
    AddDownloadRequestOptions(*cmd, o.download, /*unattended=*/true);
    cmd->add_option("--record", o.record,
                    "record file: one JSON line when each unit starts and one when it ends "
                    "(docs/records.md), appended to; several stations and benches may share it")
        ->required();
    cmd->add_option("--count", o.count, "end the bench after this many units in all")
        ->check(CLI::Range(1, 1000000000));
    cmd->add_option("--poll", o.poll_seconds,
                    "seconds between two attempts while a station waits for a phone, or for it "
                    "to be taken away (default 1)")
        ->check(CLI::Range(dekvanto::core::kMinPollSeconds, dekvanto::core::kMaxPollSeconds));
    cmd->add_flag("--scan", o.scan,
                  "a unit starts when its identifier is read from standard input, one line "
                  "each (a barcode scanner); with several stations a line reads "
                  "\"COM<n> <identifier>\". Needed in blind mode");
    cmd->add_option("--operator", o.operator_name, "who runs the bench, into the record");
    cmd->add_option("--db", o.database,
                    "keep the line's database (a PostgreSQL URL, as for vanto records push) up "
                    "to date: a forwarder beside the stations sends each record line as it is "
                    "written, waiting while the database is away; the stations never wait for "
                    "it, and the record file stays the record")
        ->type_name("URL");
    cmd->add_option("--first-unit", o.first_unit)->group("")->check(CLI::Range(1, 1000000000));
    cmd->footer(BenchExitStatusHelp());
    return cmd;
}

}  // namespace dekvanto::cli
