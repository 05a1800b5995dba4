// One station of `vanto bench`, in a process of its own: the parent starts this program again
// with the bench's arguments and --station-port COM<n>. What the station does, unit after unit,
// is decided by its cycle (core/bench/station_cycle.h); this drives it: it runs the download
// attempts through the engine, whose byte trace tells when a phone answers the line setup frame,
// writes the record lines, holds back the output of an attempt until it is a unit, and talks to
// its parent in station messages (core/bench/station_messages.h): its events, its questions for
// the go-ahead and, when it cannot go on, why.
//
// Its exit status: that of what stopped it (a refusal at the start, a record that cannot be
// written, a port that fails or moves while no phone is on it, a file that changed); else 3 when
// stopped, 9 when a unit failed, 0 when every unit passed.
#pragma once

#include "bench_options.h"
#include "console.h"

namespace dekvanto::cli {

int RunBenchStation(const BenchOptions &options, Console &console, const Context &context);

}  // namespace dekvanto::cli
