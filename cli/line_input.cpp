#include "line_input.h"

#include "interrupt.h"

namespace dekvanto::cli {

LineInput::Wake LineInput::Next(std::optional<std::chrono::milliseconds> timeout,
                                std::string &line) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        if (InterruptCount() > 0) {
            return Wake::kInterrupt;
        }
        if (TakeLine(line)) {
            return Wake::kLine;
        }
        if (Ended()) {
            return Wake::kEnd;
        }
        std::optional<std::chrono::milliseconds> wait;
        if (timeout) {
            wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (wait->count() <= 0) {
                return Wake::kTimeout;
            }
        }
        WaitForMore(wait);
    }
}

}  // namespace dekvanto::cli
