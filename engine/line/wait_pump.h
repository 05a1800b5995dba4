// A pause that keeps the caller's window alive.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"
#include "platform/window.h"

namespace mx40 {

// Waits wait_ms milliseconds while dispatching the caller's events. Each pass dispatches what is
// waiting, then tests the time (more than wait_ms passed: 0), then the running flag (0: 1).
// Returns 1 at once when a quit request is taken. Sleeps about 1 ms between passes.
int WaitPump(uint32_t wait_ms, Window &window, Clock &clock, const std::atomic<int32_t> &running);

}  // namespace mx40
