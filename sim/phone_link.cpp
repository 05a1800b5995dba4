#include "sim/phone_link.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace dekvanto::sim {
namespace {

// Longest single poll, so that the PC letting go of the line is noticed promptly.
constexpr int64_t kPollSliceMs = 20;
constexpr int64_t kNsPerMs = 1'000'000;

}  // namespace

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
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
    const size_t room = wire_.Enabled() ? std::min(wire_.Room(), sizeof buffer) : sizeof buffer;
    if (room == 0) {
        return 0;
    }
    const ssize_t n = line_.ReadAvailable(buffer, room);
    if (n <= 0) {
        return n;
    }
    // Sampled after the read: a PC that waits for the answer to these bytes cannot have changed
    // its speed since it sent them. A PC that has closed its port tags them unknown (0).
    const uint32_t bit_rate = line_.Settings().bit_rate;
    if (wire_.Enabled()) {
        wire_.TakeIn(buffer, static_cast<size_t>(n), bit_rate, NowNs());
    } else {
        reader_.Append(buffer, static_cast<size_t>(n), bit_rate, NowMs());
    }
    return n;
}

bool PhoneLink::DeliverArrived() {
    bool any = false;
    for (const LineWire::Batch &batch : wire_.TakeArrived(NowNs())) {
        arrivals_.push_back(
            {reader_.Received(), batch.bytes.size(), batch.first_arrival_ns, batch.byte_ns});
        reader_.Append(batch.bytes.data(), batch.bytes.size(), batch.bit_rate, NowMs());
        any = true;
    }
    while (arrivals_.size() > 64) {
        arrivals_.pop_front();
    }
    if (any) {
        waited_since_delivery_ = false;
    }
    return any;
}

int64_t PhoneLink::ArrivalOf(uint64_t position) const {
    for (auto it = arrivals_.rbegin(); it != arrivals_.rend(); ++it) {
        if (position >= it->first_position && position < it->first_position + it->count) {
            return it->first_ns + static_cast<int64_t>(position - it->first_position) * it->byte_ns;
        }
    }
    return arrivals_.empty() ? NowNs() : arrivals_.back().first_ns;
}

void PhoneLink::SendDueAnswers() {
    for (const uint8_t byte : wire_.TakeDueAnswers(NowNs())) {
        if (line_.Echoes() || !line_.Write(byte)) {
            ++unheard_;
        }
    }
}

void PhoneLink::SendPendingAnswers() {
    while (const auto due = wire_.NextDueNs()) {
        if (!wire_.AnswersPending() || Gone()) {
            return;
        }
        const int64_t wait = *due - NowNs();
        if (wait > 0) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
        }
        SendDueAnswers();
        DeliverArrived();
    }
}

int64_t PhoneLink::WaitNs(int64_t deadline_ms) const {
    const int64_t now = NowNs();
    // In milliseconds first: a deadline of "never" would overflow in nanoseconds.
    const int64_t left_ms = std::min(deadline_ms - NowMs(), kPollSliceMs);
    int64_t wait = left_ms * kNsPerMs;
    if (const auto due = wire_.NextDueNs()) {
        wait = std::min(wait, *due - now);
    }
    return std::max<int64_t>(wait, 0);
}

PhoneLink::Pumped PhoneLink::Pump(int64_t deadline_ms, bool until_deadline) {
    waited_since_delivery_ = true;
    for (;;) {
        if (stop_.Requested()) {
            return Pumped::kStopped;
        }
        SendDueAnswers();
        // The PC's closing is sampled before reading. A read that finds nothing first hands on
        // whatever the terminal still holds, so an empty read after the PC has let go means
        // that everything it wrote before has been taken in and nothing more will come.
        const bool let_go = SampleLetGo();
        const long got = ReadChunk();
        if (got < 0) {
            return Pumped::kGone;
        }
        if (wire_.Enabled() ? DeliverArrived() : got > 0) {
            return Pumped::kData;
        }
        released_ = released_ || (let_go && got == 0 && !wire_.InFlight());
        const int64_t left = deadline_ms - NowMs();
        if ((released_ && !until_deadline) || left <= 0) {
            return Pumped::kNothing;
        }
        // While the wire is full the line is not watched: its bytes stay in the terminal.
        const bool watch_line = !wire_.Enabled() || wire_.Room() > 0;
        pollfd watch[2] = {{watch_line ? line_.MasterFd() : -1, POLLIN, 0},
                           {stop_.WakeFd(), POLLIN, 0}};
        const int64_t wait = WaitNs(deadline_ms);
        const timespec timeout{static_cast<time_t>(wait / 1'000'000'000),
                               static_cast<long>(wait % 1'000'000'000)};
        const int ready = ::ppoll(watch, stop_.WakeFd() >= 0 ? 2 : 1, &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            return Pumped::kGone;
        }
    }
}

bool PhoneLink::Send(uint8_t byte) {
    if (wire_.Enabled()) {
        // The phone is woken once per batch of bytes, not per byte: an answer given straight
        // away is dated from the arrival of the frame it answers, not from the waking.
        const int64_t now = NowNs();
        const int64_t sent = waited_since_delivery_ || reader_.Position() == 0
                                 ? now
                                 : std::min(now, ArrivalOf(reader_.Position() - 1));
        wire_.Answer(byte, line_.Settings().bit_rate, sent);
        return true;
    }
    if (line_.Echoes()) {
        return false;
    }
    return line_.Write(byte);
}

}  // namespace dekvanto::sim
