// `vanto bench`: a production bench, one station process per port (bench_station.h). This
// process carries out what the bench's control decides (core/bench/bench_control.h) and draws
// its state (bench_board.h).
//
// Before any station starts, the bench is refused, with one line on standard error and its
// status, when the request cannot be downloaded (a file, a value, the product), or when the
// bench's rules refuse it (core/bench/bench_rules.h: blind without --scan, step mode, a port given
// twice, too many stations, a reboot delay of hours), or when the record file cannot be opened
// for appending.
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
