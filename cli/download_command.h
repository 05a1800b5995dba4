// `vanto download`: one station in this process, or several stations in parallel (stations.h).
#pragma once

#include <string>
#include <vector>

#include "console.h"
#include "console_view.h"
#include "core/download/download_request.h"
#include "download_options.h"

namespace dekvanto::cli {

// Runs the command and returns the exit status. args: the arguments after the program name, as
// given (the station processes get them again).
int RunDownloadCommand(const DownloadOptions &options, const std::vector<std::string> &args,
                       Console &console, const Context &context);

// One station in this process: the settings worked out, the engine loaded from the program's
// directory, the download control driven with a console view, the result lines, the status.
int RunOneStation(const DownloadOptions &options, const std::string &port, Console &console,
                  const Context &context);

// One attempt: the download control over the request, shown in the view, with Ctrl-C turned into
// its stop command (unless Ctrl-C came first: then only the cancel line); its outcome.
dekvanto::core::DownloadOutcome RunDownloadAttempt(dekvanto::core::Engine &engine,
                                                   ConsoleView &view,
                                                   dekvanto::core::DownloadRequest &request);

}  // namespace dekvanto::cli
