#include "dekvanto/platform/input_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "interrupt_wake.h"

namespace dekvanto::platform {

struct InputReader::Impl {
    int descriptor = -1;
};

InputReader::InputReader(int descriptor) : impl_(std::make_shared<Impl>()) {
    impl_->descriptor = descriptor;
}

InputReader::~InputReader() = default;

InputReader::Got InputReader::Wait(std::optional<std::chrono::milliseconds> wait,
                                   std::string &bytes) {
    int &descriptor = impl_->descriptor;
    if (descriptor < 0) {
        return Got::kEnd;
    }
    pollfd watched[2] = {{descriptor, POLLIN, 0}, {InterruptWakeDescriptor(), POLLIN, 0}};
    const int ready =
        ::poll(watched, watched[1].fd >= 0 ? 2 : 1, wait ? static_cast<int>(wait->count()) : -1);
    if (ready < 0 && errno != EINTR) {
        descriptor = -1;
        return Got::kBroken;
    }
    if (ready <= 0 || watched[0].revents == 0) {
        return Got::kNothing;
    }
    char buffer[512];
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got > 0) {
        bytes.append(buffer, static_cast<std::size_t>(got));
        return Got::kBytes;
    }
    if (got < 0 && errno == EINTR) {
        return Got::kNothing;
    }
    descriptor = -1;
    return Got::kEnd;
}

}  // namespace dekvanto::platform
