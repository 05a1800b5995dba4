#include "sim/frame_reader.h"

namespace dekvanto::sim {

uint8_t XorOf(const uint8_t *data, size_t count) {
    uint8_t check = 0;
    for (size_t i = 0; i < count; ++i) {
        check ^= data[i];
    }
    return check;
}

uint16_t Sum16(const std::vector<uint8_t> &data) {
    uint32_t sum = 0;
    for (const uint8_t byte : data) {
        sum += byte;
    }
    return static_cast<uint16_t>(0xFFFFu - (sum & 0xFFFFu));
}

void FrameReader::Append(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t first_ns,
                         int64_t byte_ns) {
    if (count == 0) {
        return;
    }
    batches_.push_back({received_, bit_rate, first_ns, byte_ns});
    bytes_.insert(bytes_.end(), data, data + count);
    received_ += count;
}

int64_t FrameReader::ArrivalOf(uint64_t position) const {
    const Batch *holder = &batches_.front();
    for (const Batch &batch : batches_) {
        if (batch.start > position) {
            break;
        }
        holder = &batch;
    }
    return holder->first_ns + static_cast<int64_t>(position - holder->start) * holder->byte_ns;
}

Frame FrameReader::Begin(size_t total) const {
    Frame frame;
    frame.start = position_;
    for (const Batch &batch : batches_) {
        if (batch.start > position_) {
            break;
        }
        frame.bit_rate = batch.bit_rate;
    }
    frame.first_ns = ArrivalOf(position_);
    frame.last_ns = ArrivalOf(position_ + total - 1);
    return frame;
}

void FrameReader::Drop(size_t count) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
    position_ += count;
    // Keep the batch that holds the next byte; the ones wholly before it are done.
    while (batches_.size() > 1 && batches_[1].start <= position_) {
        batches_.pop_front();
    }
}

std::optional<Frame> FrameReader::TakeByte() {
    if (bytes_.empty()) {
        return std::nullopt;
    }
    Frame frame = Begin(1);
    frame.length = 1;
    frame.payload.push_back(bytes_.front());
    Drop(1);
    return frame;
}

std::optional<Frame> FrameReader::TakeFramed(size_t length_bytes) {
    if (bytes_.size() < length_bytes) {
        return std::nullopt;
    }
    uint32_t length = bytes_[0];
    if (length_bytes == 2) {
        length |= static_cast<uint32_t>(bytes_[1]) << 8;
    }
    const size_t total = length_bytes + length + 1;
    if (bytes_.size() < total) {
        return std::nullopt;
    }
    Frame frame = Begin(total);
    frame.length = length;
    frame.payload.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(length_bytes),
                         bytes_.begin() + static_cast<std::ptrdiff_t>(length_bytes + length));
    uint8_t expected = 0;
    for (size_t i = 0; i + 1 < total; ++i) {
        expected ^= bytes_[i];
    }
    frame.has_check = true;
    frame.check = bytes_[total - 1];
    frame.expected = expected;
    Drop(total);
    return frame;
}

std::optional<Frame> FrameReader::TakeShortFrame() {
    return TakeFramed(1);
}

std::optional<Frame> FrameReader::TakeLongFrame() {
    return TakeFramed(2);
}

std::vector<uint8_t> FrameReader::TakeAll() {
    std::vector<uint8_t> rest(bytes_.begin(), bytes_.end());
    Drop(bytes_.size());
    return rest;
}

}  // namespace dekvanto::sim
