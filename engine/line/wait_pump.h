// A pause that keeps the caller's window alive.
#pragma once

#include <atomic>
#include <cstdint>

#include "clock/clock.h"
#include "window/window.h"

namespace dekvanto::engine {

// Waits wait_ms milliseconds while dispatching the caller's events. Each pass dispatches what is
// waiting, then tests the time (more than wait_ms passed: 0), then the running flag (0: 1).
// Returns 1 at once when a quit request is taken. Between passes it sleeps until just past the
// end of the wait, at most 10 ms at a time, so a stop or a window event waits at most that long.
int WaitPump(uint32_t wait_ms, Window &window, Clock &clock, const std::atomic<int32_t> &running);

}  // namespace dekvanto::engine
