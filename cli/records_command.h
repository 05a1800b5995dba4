// `vanto records FILE`: the units of a bench's record file with their outcome, then totals per
// station (per host and station when the file holds several hosts) and per result; or, with
// --csv, one row per unit for a spreadsheet.
#pragma once

#include <optional>
#include <string>

#include "console.h"

namespace CLI {
class App;
}

namespace dekvanto::cli {

struct RecordsOptions {
    std::string file;
    std::optional<std::string> station;  // COM<n>
    std::optional<std::string> since;    // a date or time in UTC, as given
    bool failed = false;
    bool csv = false;
};

// Adds the subcommand "records" with its options, filling options when parsed.
CLI::App *AddRecordsCommand(CLI::App &app, RecordsOptions &options);

// Lists the units on standard output; skipped lines of the file are reported on standard error.
// 0, or the file error status when the file cannot be read.
int RunRecordsCommand(const RecordsOptions &options, Console &console);

}  // namespace dekvanto::cli
