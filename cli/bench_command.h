// `vanto bench`: a production bench, one station process per port (bench_station.h), followed
// and drawn by this process (bench_board.h).
//
// Before any station starts, the bench is refused, with one line on standard error and its
// status, when the request cannot be downloaded (a file, a value, the product), when it is blind
// without --scan (a blind line cannot tell whether a phone is there), in step mode (nobody is
// there to press Enter), when a port is given twice, or when the record file cannot be opened for
// appending.
#pragma once

#include <string>
#include <vector>

#include "bench_options.h"
#include "console.h"

namespace dekvanto::cli {

// Runs the command and returns the exit status. args: the arguments after the program name, as
// given (the station processes get them again).
int RunBenchCommand(const BenchOptions &options, const std::vector<std::string> &args,
                    Console &console, const Context &context);

}  // namespace dekvanto::cli
