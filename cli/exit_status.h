// The exit statuses of vanto: one per class of outcome, so that a script can tell a stopped
// download from a phone that did not answer without reading the log.
#pragma once

#include <cstdint>
#include <string>

#include "core/download/download_outcome.h"
#include "core/download/exit_status.h"

namespace dekvanto::cli {

// The statuses themselves are the application core's (core/download/exit_status.h), which the bench
// window reads too.
using dekvanto::core::ExitStatus;
using enum dekvanto::core::ExitStatus;
using dekvanto::core::ExitStatusOf;

// The status for a result character of Mxl40_Download (its low 16 bits).
ExitStatus StatusOfDownloadResult(int32_t result);

// The status for a CheckMapCompat result that ends the attempt (10 gives kFinished).
ExitStatus StatusOfMapCheck(int32_t result);

// The table of statuses for --help and the README.
std::string ExitStatusHelp();
// The same for the bench, whose run ends after many units.
std::string BenchExitStatusHelp();

}  // namespace dekvanto::cli
