#include "line_input.h"

#include "core/bench/bench_rules.h"
#include "dekvanto/platform/interrupt.h"

namespace dekvanto::cli {

LineInput::LineInput(int descriptor)
    : reader_(descriptor), splitter_(dekvanto::core::kMaxBenchLineBytes) {}

LineInput::Wake LineInput::Next(std::optional<std::chrono::milliseconds> timeout,
                                std::string &line) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        if (platform::InterruptCount() > 0) {
            return Wake::kInterrupt;
        }
        if (!lines_.empty()) {
            line = std::move(lines_.front());
            lines_.pop_front();
            return Wake::kLine;
        }
        if (ended_) {
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

void LineInput::WaitForMore(std::optional<std::chrono::milliseconds> wait) {
    const auto keep = [this](const std::string &line, bool) { lines_.push_back(line); };
    std::string bytes;
    switch (reader_.Wait(wait, bytes)) {
        case platform::InputReader::Got::kBytes:
            splitter_.Take(bytes, keep);
            break;
        case platform::InputReader::Got::kEnd:
            ended_ = true;
            splitter_.Finish(keep);
            break;
        case platform::InputReader::Got::kBroken:
            ended_ = true;
            break;
        case platform::InputReader::Got::kNothing:
            break;
    }
}

}  // namespace dekvanto::cli
