// Engine-wide state, one instance per process: plain integers used only by the thread that runs
// the download (the caller's window thread), so no lock guards them.
#pragma once

#include <cstdint>

namespace mx40 {

struct EngineState {
    // 1 while a download may go on; set by every download, cleared by Mxl40_StartStop(0).
    volatile int32_t running = 0;
    // Copied from the options record at the start of every download; 1 = show message boxes.
    int32_t debug_messages = 0;
    // The last value given to Mxl40_Init; nothing depends on it.
    int32_t init_value = 0;
};

EngineState &TheEngineState();

}  // namespace mx40
