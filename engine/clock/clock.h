// Time as the engine sees it: a millisecond tick counter for time-outs and pauses, and the
// calendar clock (one-second resolution) for the start, finish and total times of a download.
#pragma once

#include <cstdint>
#include <ctime>

namespace dekvanto::engine {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps around like a 32-bit tick count, so callers
    // compare differences computed on unsigned 32-bit numbers.
    virtual uint32_t TickMs() = 0;
    // Gives the processor away for about ms milliseconds.
    virtual void SleepMs(uint32_t ms) = 0;
    // Calendar time in whole seconds.
    virtual std::time_t Now() = 0;
};

// The machine's clocks.
Clock &SystemClock();

}  // namespace dekvanto::engine
