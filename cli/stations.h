// Several phones at once: one process per port (the engine's state is process-wide, so one
// engine per process), each running this program's `download` with the same arguments for its
// own port. The parent shows one line per station (redrawn on a terminal, prefixed lines
// otherwise), passes Ctrl-C on to the stations, and ends with a summary table.
//
// A station reports on its standard output in station messages (core/bench/station_messages.h):
// its events as they happen, an error that ends it, and last its summary.
#pragma once

#include <string>
#include <vector>

#include "console.h"
#include "download_options.h"

namespace dekvanto::cli {

// Returns 0 when every station finished, else the status of the first station (in the order of
// the ports) that did not.
int RunStations(const DownloadOptions &options, const std::vector<std::string> &args,
                Console &console, const Context &context);

}  // namespace dekvanto::cli
