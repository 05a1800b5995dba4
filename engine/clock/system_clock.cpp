#include <chrono>
#include <thread>

#include "clock/clock.h"

namespace dekvanto::engine {
namespace {

class MachineClock final : public Clock {
  public:
    uint32_t TickMs() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void SleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    std::time_t Now() override { return std::time(nullptr); }
};

}  // namespace

Clock &SystemClock() {
    static MachineClock clock;
    return clock;
}

}  // namespace dekvanto::engine
