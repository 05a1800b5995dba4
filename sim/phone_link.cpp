#include "sim/phone_link.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace sim {
namespace {

// Longest single poll, so that the PC letting go of the line is noticed promptly.
constexpr int64_t kPollSliceMs = 20;
// Bytes written just before the PC closed its port may still be on their way through the
// pseudo-terminal; the release counts only after this long.
constexpr int64_t kReleaseSettleMs = 100;

}  // namespace

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

StopSignal::StopSignal() {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
    }
}

StopSignal::~StopSignal() {
    for (const int fd : pipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void StopSignal::Request() {
    requested_.store(true);
    if (pipe_[1] >= 0) {
        const char wake = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(pipe_[1], &wake, 1);
    }
}

void PhoneLink::SampleHold() {
    const bool held = line_.HeldExclusively().value_or(false);
    held_seen_ = held_seen_ || held;
    if (held) {
        released_at_ms_ = 0;
    } else if (held_seen_ && released_at_ms_ == 0) {
        released_at_ms_ = NowMs();
    }
}

bool PhoneLink::Released() const {
    return released_at_ms_ != 0 && NowMs() - released_at_ms_ >= kReleaseSettleMs;
}

long PhoneLink::ReadWaiting() {
    long total = 0;
    uint8_t buffer[4096];
    for (;;) {
        // Once the PC has closed its port and restored its settings, the speed in force says
        // nothing about how these bytes were sent: they are tagged unknown (0).
        const uint32_t bit_rate = line_.Echoes() ? 0 : line_.BitRate();
        const ssize_t n = line_.ReadAvailable(buffer, sizeof buffer);
        if (n < 0) {
            return total > 0 ? total : -1;
        }
        if (n == 0) {
            return total;
        }
        reader_.Append(buffer, static_cast<size_t>(n), bit_rate, NowMs());
        total += n;
    }
}

PhoneLink::Pumped PhoneLink::Pump(int64_t deadline_ms) {
    for (;;) {
        if (stop_.Requested()) {
            return Pumped::kStopped;
        }
        // The hold is sampled before reading: once the PC has let go, whatever it sent before
        // is already waiting, so an empty read after that means nothing more will come.
        SampleHold();
        const long got = ReadWaiting();
        if (got > 0) {
            return Pumped::kData;
        }
        if (got < 0) {
            return Pumped::kGone;
        }
        const int64_t left = deadline_ms - NowMs();
        if (Released() || left <= 0) {
            return Pumped::kNothing;
        }
        pollfd watch[2] = {{line_.MasterFd(), POLLIN, 0}, {stop_.WakeFd(), POLLIN, 0}};
        const int ready = ::poll(watch, stop_.WakeFd() >= 0 ? 2 : 1,
                                 static_cast<int>(std::min(left, kPollSliceMs)));
        if (ready < 0 && errno != EINTR) {
            return Pumped::kGone;
        }
    }
}

bool PhoneLink::Send(uint8_t byte) {
    if (line_.Echoes()) {
        return false;
    }
    return line_.Write(byte);
}

}  // namespace sim
