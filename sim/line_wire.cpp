#include "sim/line_wire.h"

#include <algorithm>

namespace dekvanto::sim {

int64_t ByteTimeNs(uint32_t bit_rate) {
    return bit_rate == 0 ? 0 : 10'000'000'000LL / bit_rate;
}

void LineWire::TakeIn(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t now_ns) {
    if (count == 0) {
        return;
    }
    Chunk chunk;
    chunk.bytes.assign(data, data + count);
    chunk.bit_rate = bit_rate;
    chunk.byte_ns = ByteTimeNs(bit_rate);
    const bool idle = now_ns >= rx_free_ns_;
    chunk.start_ns = std::max(now_ns, rx_free_ns_);
    if (idle && answered_since_rx_) {
        chunk.start_ns += int64_t{timing_.latency_us} * 1000;
    }
    answered_since_rx_ = false;
    rx_free_ns_ = chunk.ArrivalOf(count - 1);
    in_flight_ += count;
    chunks_.push_back(std::move(chunk));
}

// Whole reads only: the phone is woken once per read from the PC, not once per byte, and each
// batch says when each of its bytes arrived, so answers can still be dated exactly.
std::vector<LineWire::Batch> LineWire::TakeArrived(int64_t now_ns) {
    std::vector<Batch> batches;
    while (!chunks_.empty() &&
           chunks_.front().ArrivalOf(chunks_.front().bytes.size() - 1) <= now_ns) {
        Chunk &chunk = chunks_.front();
        in_flight_ -= chunk.bytes.size();
        batches.push_back(
            {std::move(chunk.bytes), chunk.bit_rate, chunk.ArrivalOf(0), chunk.byte_ns});
        chunks_.pop_front();
    }
    return batches;
}

void LineWire::Answer(uint8_t byte, uint32_t bit_rate, int64_t now_ns) {
    const int64_t byte_ns = ByteTimeNs(bit_rate);
    const int64_t at = std::max(now_ns + int64_t{timing_.latency_us} * 1000, tx_free_ns_) + byte_ns;
    tx_free_ns_ = at;
    answers_.push_back({at, byte});
    answered_since_rx_ = true;
}

std::vector<uint8_t> LineWire::TakeDueAnswers(int64_t now_ns) {
    std::vector<uint8_t> due;
    while (!answers_.empty() && answers_.front().at_ns <= now_ns) {
        due.push_back(answers_.front().byte);
        answers_.pop_front();
    }
    return due;
}

std::optional<int64_t> LineWire::NextDueNs() const {
    std::optional<int64_t> next;
    if (!chunks_.empty()) {
        next = chunks_.front().ArrivalOf(chunks_.front().bytes.size() - 1);
    }
    if (!answers_.empty()) {
        next = next ? std::min(*next, answers_.front().at_ns) : answers_.front().at_ns;
    }
    return next;
}

}  // namespace dekvanto::sim
