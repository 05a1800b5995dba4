// Engine-wide state, one instance per process. The download runs on the caller's thread; the
// running flag and the in-progress mark are lock-free atomics, so that a stop may come from a
// signal handler or another thread and a second download from anywhere is refused.
#pragma once

#include <atomic>
#include <cstdint>

namespace dekvanto::engine {

struct EngineState {
    // 1 while a download may go on; set by every download, cleared by Mxl40_StartStop(0).
    std::atomic<int32_t> running{0};
    static_assert(std::atomic<int32_t>::is_always_lock_free);
    // True from the start of a download's work until it returns: one download at a time.
    std::atomic<bool> downloading{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
    // Copied from the options record at the start of every download; 1 = show message boxes.
    int32_t debug_messages = 0;
    // The last value given to Mxl40_Init; nothing depends on it.
    int32_t init_value = 0;
};

EngineState &TheEngineState();

}  // namespace dekvanto::engine
