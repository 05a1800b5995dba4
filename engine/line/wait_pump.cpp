#include "line/wait_pump.h"

#include <algorithm>

namespace dekvanto::engine {
namespace {

// Longest sleep between two passes: the window's events and a stop request wait at most this
// long, and a long pause wakes the processor a hundred times a second instead of a thousand.
constexpr uint32_t kSliceMs = 10;

}  // namespace

int WaitPump(uint32_t wait_ms, Window &window, Clock &clock, const std::atomic<int32_t> &running) {
    const uint32_t start = clock.TickMs();
    for (;;) {
        if (window.Pump()) {
            return 1;
        }
        const uint32_t elapsed = clock.TickMs() - start;
        if (elapsed > wait_ms) {
            return 0;
        }
        if (running == 0) {
            return 1;
        }
        // Sleep to the first millisecond past the wait, never longer than a slice.
        const uint64_t to_end = uint64_t{wait_ms} + 1 - elapsed;
        clock.SleepMs(static_cast<uint32_t>(std::min<uint64_t>(to_end, kSliceMs)));
    }
}

}  // namespace dekvanto::engine
