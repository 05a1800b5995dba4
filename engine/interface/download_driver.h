// The download driver behind Mxl40_Download, on replaceable services so that tests can run it
// against a scripted line, a fake clock, a recording window and failing files.
#pragma once

#include <cstdint>

#include "dekvanto/mx40.h"
#include "stages/download_job.h"

namespace dekvanto::engine {

// Runs one download; returns its result character (MX40_RESULT_*). See Mxl40_Download.
int32_t RunDownload(const DownloadServices &services, Mx40Settings *settings,
                    const Mx40Files *files, const Mx40Options *options);

}  // namespace dekvanto::engine
