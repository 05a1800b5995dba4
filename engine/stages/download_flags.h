// The engine-wide flags that a download works with. The driver sets them at the start of every
// download; the stages and the line's waits read the running flag at every block and in every
// pause, and the line's message boxes the debug-messages flag. The running flag and the
// in-progress mark are lock-free atomics, so that a stop may come from a signal handler or
// another thread and a second download from anywhere is refused.
#pragma once

#include <atomic>
#include <cstdint>

namespace dekvanto::engine {

struct DownloadFlags {
    // 1 while a download may go on; set by every download, cleared by Mxl40_StartStop(0).
    std::atomic<int32_t> running{0};
    static_assert(std::atomic<int32_t>::is_always_lock_free);
    // True from the start of a download's work until it returns: one download at a time.
    std::atomic<bool> downloading{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
    // Copied from the options record at the start of every download; 1 = show message boxes.
    int32_t debug_messages = 0;
};

}  // namespace dekvanto::engine
