// One station of `vanto bench`, in a process of its own: the parent starts this program again
// with the bench's arguments and --station-port COM<n>. The station loops, unit after unit:
//
// 1. Wait for a phone. It tries the download every poll interval, exactly as `vanto download`
//    does, with its output held back. The engine's byte trace tells when the phone answers the
//    line setup frame: the attempt is then a unit. Its record's start line is written and
//    flushed right there, before the download goes on (a record that cannot be written stops the
//    download at once and the station with it), and the held output is let out. An attempt that
//    nobody answered is no unit: its output is dropped and nothing is recorded.
//    With --scan the unit starts instead when the parent hands over its identifier, and its start
//    line is written before the attempt.
// 2. Flash the unit: the rest of that attempt, with its log, checks and result.
// 3. Record it: the end line, flushed, before anything else; then the permanent line.
// 4. Wait for the phone to go (not with --scan): every poll interval a probe, the same attempt
//    stopped as soon as the phone has answered the line setup frame, so a phone that stays is
//    never flashed twice. The next unit is accepted only after an attempt that nobody answered.
//
// An attempt that nobody answered and that failed otherwise (the port is missing, a file cannot
// be read, the mapping check refuses the files) stops the station with its reason.
//
// Besides the tagged lines of a download's station (stations.h: "L", "P", "M", "E", "J"), a
// bench station writes:
//   "W phone <unit>"            it waits for a phone, which will be unit <unit>
//   "W removal <unit>"          it waits for the phone of unit <unit> to be taken away
//   "U <unit> [<identifier>]"   a unit has started
//   "A <unit>"                  (with --count) it asks to start unit <unit>
//   "F <unit> <words>"          the unit has ended and is recorded; <words> as unit_result.h
// and reads from the parent, on standard input: "G" (go ahead, the answer to "A"), "S
// <identifier>" (a scanned unit, with --scan). The end of its input means: take no new unit.
//
// Its exit status: that of what stopped it (a refusal at the start, a record that cannot be
// written, a port that fails while no phone is on it); else 3 when stopped by Ctrl-C, 9 when a
// unit failed, 0 when every unit passed.
#pragma once

#include "bench_options.h"
#include "console.h"

namespace dekvanto::cli {

int RunBenchStation(const BenchOptions &options, Console &console, const Context &context);

}  // namespace dekvanto::cli
