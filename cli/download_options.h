// The options of `vanto download`, as given on the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/download/download_request.h"

namespace CLI {
class App;
}

namespace dekvanto::cli {

struct DownloadOptions {
    std::vector<std::string> ports;  // COM<n>; several: one station each, in parallel
    std::string station_port;        // set by the parent for one station's process (hidden)
    // Settings file, product, files and line settings; the port is the station's.
    dekvanto::core::DownloadOverrides request;
    std::optional<std::string> trace_file;
    bool json = false;
    // JSON Lines events on standard output (core/download/download_events.h); not with json.
    bool events = false;

    // Standard output is for a program (--json or --events): the log goes to standard error.
    bool MachineOutput() const { return json || events; }
};

// Adds the subcommand "download" with its options, filling options when parsed. The line
// settings take the words of the settings' value lists, and the help names them.
CLI::App *AddDownloadCommand(CLI::App &app, DownloadOptions &options);

// Adds what says where and what is downloaded, and how: the ports, the files, the line settings,
// the settings file and product, --trace and --events (every option of "download" but --json).
// The bench takes them too, unattended: without --step, which waits for Enter at every phone.
void AddDownloadRequestOptions(CLI::App &cmd, DownloadOptions &options, bool unattended = false);

}  // namespace dekvanto::cli
