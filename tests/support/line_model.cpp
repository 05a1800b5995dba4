#include "line_model.h"

#include <algorithm>

#include "line/line_trace.h"

namespace dekvanto::engine::testing {
namespace {

constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kNsPerUs = 1'000;

int64_t ByteNsAt(uint32_t bit_rate) {
    return bit_rate == 0 ? 0 : 10'000'000'000LL / bit_rate;
}

}  // namespace

int64_t LineModel::NowNs() const {
    return static_cast<int64_t>(clock_.elapsed_ms_ - start_ms_) * kNsPerMs + sub_ms_ns_;
}

void LineModel::AdvanceTo(int64_t ns) {
    const int64_t now = NowNs();
    if (ns <= now) {
        return;
    }
    const int64_t total = ns - static_cast<int64_t>(clock_.elapsed_ms_ - start_ms_) * kNsPerMs;
    clock_.Advance(static_cast<uint32_t>(total / kNsPerMs));
    sub_ms_ns_ = total % kNsPerMs;
}

// Time passes in the engine's own pauses too (the fake clock's sleeps), so it is booked at each
// call, to the phase in force then.
void LineModel::MarkPhase() {
    const int64_t now = NowNs();
    phase_ns_[TheLineTrace().phase] += now - phase_mark_ns_;
    phase_mark_ns_ = now;
}

int64_t LineModel::ByteNs() const {
    return ByteNsAt(bit_rate_);
}

void LineModel::LoseQueued(const char *when) {
    const int64_t left = tx_free_ns_ - NowNs();
    if (left > 0 && ByteNs() > 0) {
        errors_.push_back(std::to_string((left + ByteNs() - 1) / ByteNs()) +
                          " bytes still on the line " + when);
        tx_free_ns_ = NowNs();
    }
}

int LineModel::Open(int32_t) {
    MarkPhase();
    is_open_ = true;
    bit_rate_ = 2400;
    return 0;
}

bool LineModel::SetBitRate(uint32_t bits_per_second) {
    MarkPhase();
    LoseQueued("when the speed changed");
    bit_rate_ = bits_per_second;
    return is_open_;
}

bool LineModel::Purge() {
    MarkPhase();
    LoseQueued("when the port was purged");
    answers_.clear();
    return is_open_;
}

void LineModel::Release() {
    MarkPhase();
    LoseQueued("when the port was let go");
    is_open_ = false;
}

bool LineModel::Write(const uint8_t *data, uint32_t count, uint32_t &written) {
    MarkPhase();
    written = 0;
    if (!is_open_) {
        return false;
    }
    if (count > 0) {
        const int64_t now = NowNs();
        const int64_t byte_ns = ByteNs();
        int64_t start = std::max(now, tx_free_ns_);
        if (now >= tx_free_ns_ && answer_read_) {
            start += int64_t{line_.latency_us} * kNsPerUs;
        }
        answer_read_ = false;
        tx_free_ns_ = start + int64_t{count} * byte_ns;
        phone_.Receive(data, count, bit_rate_, start + byte_ns, byte_ns);
        for (const VirtualPhone::Answer &answer : phone_.TakeAnswers()) {
            const int64_t at =
                std::max(answer.send_ns + int64_t{line_.latency_us} * kNsPerUs, rx_free_ns_) +
                byte_ns;
            rx_free_ns_ = at;
            answers_.push_back({at, answer.byte});
        }
        // The write returns once the driver's queue holds what is left.
        AdvanceTo(tx_free_ns_ - int64_t{line_.driver_queue} * byte_ns);
    }
    written = count;
    MarkPhase();
    return line_.write_drains ? Drain() : true;
}

bool LineModel::Drain() {
    MarkPhase();
    if (!is_open_ || drain_fails) {
        return false;
    }
    if (tx_free_ns_ > NowNs()) {
        ++drains;
        drain_idle_ns += int64_t{line_.drain_granularity_us} * kNsPerUs;
        AdvanceTo(tx_free_ns_ + int64_t{line_.drain_granularity_us} * kNsPerUs);
    }
    MarkPhase();
    return true;
}

bool LineModel::SetReadTimeout(uint32_t constant_ms) {
    read_timeout_ms_ = constant_ms;
    return is_open_;
}

ReadOutcome LineModel::ReadByte(uint8_t &byte) {
    MarkPhase();
    if (!is_open_) {
        return ReadOutcome::kGone;
    }
    const int64_t deadline = NowNs() + (25 + int64_t{read_timeout_ms_}) * kNsPerMs;
    if (answers_.empty() || answers_.front().at_ns > deadline) {
        AdvanceTo(deadline);
        MarkPhase();
        return ReadOutcome::kNothing;
    }
    AdvanceTo(answers_.front().at_ns);
    byte = answers_.front().byte;
    answers_.pop_front();
    answer_read_ = true;
    MarkPhase();
    return ReadOutcome::kByte;
}

}  // namespace dekvanto::engine::testing
