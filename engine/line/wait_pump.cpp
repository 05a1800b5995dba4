#include "line/wait_pump.h"

namespace mx40 {

int WaitPump(uint32_t wait_ms, Window &window, Clock &clock, const std::atomic<int32_t> &running) {
    const uint32_t start = clock.TickMs();
    for (;;) {
        if (window.Pump()) {
            return 1;
        }
        if (clock.TickMs() - start > wait_ms) {
            return 0;
        }
        if (running == 0) {
            return 1;
        }
        clock.SleepMs(1);
    }
}

}  // namespace mx40
