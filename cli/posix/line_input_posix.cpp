#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <string_view>

#include "core/bench/bench_rules.h"
#include "core/text/output_lines.h"
#include "line_input.h"
#include "posix/interrupt_wake.h"

namespace dekvanto::cli {

struct LineInput::Impl {
    int descriptor = -1;
    dekvanto::core::LineSplitter splitter{dekvanto::core::kMaxBenchLineBytes};
    std::deque<std::string> lines;
    bool ended = false;

    void Take(std::string_view bytes) {
        splitter.Take(bytes, [this](const std::string &line, bool) { lines.push_back(line); });
    }
};

LineInput::LineInput(int descriptor) : impl_(std::make_shared<Impl>()) {
    impl_->descriptor = descriptor;
    impl_->ended = descriptor < 0;
}

LineInput::~LineInput() = default;

bool LineInput::TakeLine(std::string &line) {
    if (impl_->lines.empty()) {
        return false;
    }
    line = std::move(impl_->lines.front());
    impl_->lines.pop_front();
    return true;
}

bool LineInput::Ended() {
    return impl_->ended;
}

void LineInput::WaitForMore(std::optional<std::chrono::milliseconds> wait) {
    Impl &p = *impl_;
    pollfd watched[2] = {{p.descriptor, POLLIN, 0}, {InterruptWakeDescriptor(), POLLIN, 0}};
    const int ready =
        ::poll(watched, watched[1].fd >= 0 ? 2 : 1, wait ? static_cast<int>(wait->count()) : -1);
    if (ready < 0 && errno != EINTR) {
        p.ended = true;
    }
    if (ready <= 0 || watched[0].revents == 0) {
        return;
    }
    char buffer[512];
    const ssize_t got = ::read(p.descriptor, buffer, sizeof buffer);
    if (got > 0) {
        p.Take(std::string_view(buffer, static_cast<std::size_t>(got)));
    } else if (got == 0 || errno != EINTR) {
        p.ended = true;
        p.splitter.Finish([&p](const std::string &line, bool) { p.lines.push_back(line); });
    }
}

}  // namespace dekvanto::cli
