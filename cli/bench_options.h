// The options of `vanto bench`, as given on the command line.
#pragma once

#include <optional>
#include <string>

#include "download_options.h"

namespace CLI {
class App;
}

namespace dekvanto::cli {

struct BenchOptions {
    // The ports (one station each), the station's own port in a station's process, what is
    // downloaded and how, --trace and --events: as for "download" (its --json has no place here).
    DownloadOptions download;
    std::string record;                        // the record file (JSON Lines), appended to
    std::optional<int> count;                  // end after this many units in all
    double poll_seconds = 1.0;                 // between two attempts while no phone is known
    bool scan = false;                         // a unit starts when its identifier is read
    std::optional<std::string> operator_name;  // who runs the bench, into the record
    std::optional<std::string> database;       // the line's database, kept up to date beside
    int first_unit = 1;  // a station's first unit number (hidden: set for a station started again)
};

// Adds the subcommand "bench" with its options, filling options when parsed.
CLI::App *AddBenchCommand(CLI::App &app, BenchOptions &options);

}  // namespace dekvanto::cli
