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

bool PhoneLink::SampleLetGo() {
    held_seen_ = held_seen_ || line_.HeldExclusively().value_or(false);
    const bool let_go = line_.PcOpenings().LetGo();
    if (!let_go) {
        released_ = false;
    }
    return let_go;
}

long PhoneLink::ReadChunk() {
    uint8_t buffer[kChunkBytes];
    const ssize_t n = line_.ReadAvailable(buffer, sizeof buffer);
    if (n <= 0) {
        return n;
    }
    // Sampled after the read: a PC that waits for the answer to these bytes cannot have changed
    // its speed since it sent them. A PC that has closed its port tags them unknown (0).
    const uint32_t bit_rate = line_.Settings().bit_rate;
    reader_.Append(buffer, static_cast<size_t>(n), bit_rate, NowMs());
    return n;
}

PhoneLink::Pumped PhoneLink::Pump(int64_t deadline_ms, bool until_deadline) {
    for (;;) {
        if (stop_.Requested()) {
            return Pumped::kStopped;
        }
        // The PC's closing is sampled before reading. A read that finds nothing first hands on
        // whatever the terminal still holds, so an empty read after the PC has let go means
        // that everything it wrote before has been taken in and nothing more will come.
        const bool let_go = SampleLetGo();
        const long got = ReadChunk();
        if (got > 0) {
            return Pumped::kData;
        }
        if (got < 0) {
            return Pumped::kGone;
        }
        released_ = released_ || let_go;
        const int64_t left = deadline_ms - NowMs();
        if ((released_ && !until_deadline) || left <= 0) {
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
