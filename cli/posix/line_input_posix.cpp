#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "line_input.h"
#include "posix/interrupt_wake.h"

namespace dekvanto::cli {

struct LineInput::Impl {
    int descriptor = -1;
    std::string pending;
    bool ended = false;
};

LineInput::LineInput(int descriptor) : impl_(std::make_shared<Impl>()) {
    impl_->descriptor = descriptor;
    impl_->ended = descriptor < 0;
}

LineInput::~LineInput() = default;

bool LineInput::TakeLine(std::string &line) {
    std::string &pending = impl_->pending;
    const auto end = pending.find('\n');
    if (end == std::string::npos) {
        if (!impl_->ended || pending.empty()) {
            return false;
        }
        line = std::move(pending);
        pending.clear();
        return true;
    }
    line = pending.substr(0, end);
    pending.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
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
        p.pending.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
        p.ended = true;
    }
}

}  // namespace dekvanto::cli
