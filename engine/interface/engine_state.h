// Engine-wide state, one instance per process: the flags of the download (stages/download_flags.h)
// and the value of the last Mxl40_Init.
#pragma once

#include <cstdint>

#include "stages/download_flags.h"

namespace dekvanto::engine {

struct EngineState : DownloadFlags {
    // The last value given to Mxl40_Init; nothing depends on it.
    int32_t init_value = 0;
};

EngineState &TheEngineState();

}  // namespace dekvanto::engine
