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

constexpr int64_t kNsPerMs = 1'000'000;

}  // namespace

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

// A new opening begins a new attempt, even when it has been let go again by the time it is seen.
bool PhoneLink::SampleLetGo() {
    held_seen_ = held_seen_ || line_.HeldExclusively().value_or(false);
    const PtyLine::Openings openings = line_.PcOpenings();
    if (!openings.LetGo() || openings.opens != opens_) {
        released_ = false;
    }
    opens_ = openings.opens;
    return openings.LetGo();
}

void PhoneLink::BeginAttempt() {
    released_ = false;
    first_byte_ns_.reset();
    opens_needed_ = free_ ? opens_ + 1 : 0;
}

long PhoneLink::ReadChunk(Intake &intake) {
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
        // Dated once read: the phone cannot have seen them earlier, and the PC wrote them before.
        intake.arrived.push_back({std::vector<uint8_t>(buffer, buffer + n), bit_rate, NowNs(), 0});
    }
    return n;
}

// The PC's closing is sampled before reading. A read that finds nothing first hands on whatever
// the terminal still holds, so an empty read after the PC has let go means that everything it
// wrote before has been taken in and nothing more will come.
PhoneLink::Intake PhoneLink::TakeIn() {
    Intake intake;
    const bool let_go = SampleLetGo();
    const long got = ReadChunk(intake);
    if (got < 0) {
        intake.gone = true;
        return intake;
    }
    if (wire_.Enabled()) {
        intake.arrived = wire_.TakeArrived(NowNs());
    }
    if (!first_byte_ns_ && !intake.arrived.empty()) {
        first_byte_ns_ = intake.arrived.front().first_arrival_ns;
    }
    const bool drained = got == 0 && !wire_.InFlight();
    released_ = released_ || (let_go && drained && opens_ >= opens_needed_);
    free_ = (let_go || opens_ == 0) && drained;
    return intake;
}

bool PhoneLink::Wait(int64_t until_ns, int64_t slice_ms) {
    if (stop_.Requested()) {
        return true;
    }
    const int64_t now = NowNs();
    int64_t wait = std::min(until_ns - now, slice_ms * kNsPerMs);
    if (const auto due = wire_.NextDueNs()) {
        wait = std::min(wait, *due - now);
    }
    wait = std::max<int64_t>(wait, 0);
    // While the wire is full the line is not watched: its bytes stay in the terminal. The PC
    // opening or closing the line wakes the phone at once: a PC that lets go and opens the line
    // again within one slice would otherwise go unnoticed, its next attempt taken for the last.
    const bool watch_line = !wire_.Enabled() || wire_.Room() > 0;
    pollfd watch[3] = {{watch_line ? line_.MasterFd() : -1, POLLIN, 0},
                       {stop_.WakeFd(), POLLIN, 0},
                       {line_.OpeningsFd(), POLLIN, 0}};
    const timespec timeout{static_cast<time_t>(wait / 1'000'000'000),
                           static_cast<long>(wait % 1'000'000'000)};
    const int ready = ::ppoll(watch, 3, &timeout, nullptr);
    return ready >= 0 || errno == EINTR;
}

void PhoneLink::Send(uint8_t byte, int64_t sent_ns) {
    if (wire_.Enabled()) {
        wire_.Answer(byte, line_.Settings().bit_rate, sent_ns);
        return;
    }
    if (line_.Echoes() || !line_.Write(byte)) {
        ++unheard_;
    }
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
        wire_.TakeArrived(NowNs());  // the session is over: what still arrives is dropped
    }
}

}  // namespace dekvanto::sim
