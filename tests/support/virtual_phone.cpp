#include "virtual_phone.h"

#include <algorithm>
#include <utility>

namespace dekvanto::engine::testing {
namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kSync = '8';
constexpr uint32_t kBootRate = 2400;
constexpr uint32_t kDekeRate = 115200;
constexpr int64_t kNsPerMs = 1'000'000;

uint32_t Little(const std::vector<uint8_t> &bytes, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count && i < bytes.size(); ++i) {
        value |= uint32_t{bytes[i]} << (8 * i);
    }
    return value;
}

}  // namespace

void VirtualPhone::Receive(const uint8_t *data, size_t count, uint32_t bit_rate,
                           int64_t first_arrival_ns, int64_t byte_ns) {
    batch_first_ = reader_.Received();
    batch_first_arrival_ns_ = first_arrival_ns;
    batch_byte_ns_ = byte_ns;
    reader_.Append(data, count, bit_rate, first_arrival_ns / kNsPerMs);
    while (HandleFrame()) {
    }
}

std::vector<VirtualPhone::Answer> VirtualPhone::TakeAnswers() {
    return std::exchange(answers_, {});
}

int64_t VirtualPhone::ArrivalOfLastTaken() const {
    const uint64_t last = reader_.Position() - 1;
    return batch_first_arrival_ns_ + static_cast<int64_t>(last - batch_first_) * batch_byte_ns_;
}

void VirtualPhone::Send(uint8_t byte, uint32_t delay_ms) {
    clock_ns_ = std::max(clock_ns_, ArrivalOfLastTaken()) + int64_t{delay_ms} * kNsPerMs;
    answers_.push_back({clock_ns_, byte});
}

bool VirtualPhone::Check(const dekvanto::sim::Frame &frame, uint32_t expected_rate,
                         const char *name) {
    bool good = true;
    if (frame.bit_rate != expected_rate) {
        errors_.push_back(std::string(name) + " came at " + std::to_string(frame.bit_rate) +
                          " bit/s instead of " + std::to_string(expected_rate));
        good = false;
    }
    if (!frame.CheckOk()) {
        errors_.push_back(std::string(name) + " has a wrong check byte");
        good = false;
    }
    return good;
}

bool VirtualPhone::HandleFrame() {
    switch (phase_) {
        case Phase::kTarget:
            if (auto frame = reader_.TakeByte()) {
                Check(*frame, kBootRate, "the memory target byte");
                phase_ = Phase::kLine;
                return true;
            }
            return false;
        case Phase::kLine:
            if (auto frame = reader_.TakeShortFrame()) {
                const bool good = Check(*frame, kBootRate, "the line setup frame") &&
                                  frame->payload.size() == 6 && frame->payload[1] >= 6 &&
                                  frame->payload[1] <= 9;
                announced_rate_ = good ? 57600u << (frame->payload[1] - 6) : 0;
                Send(good ? kAck : kNak);
                phase_ = Phase::kLoader;
                return true;
            }
            return false;
        case Phase::kLoader:
            if (auto frame = reader_.TakeShortFrame()) {
                return HandleLoaderFrame(*frame);
            }
            return false;
        case Phase::kRequest:
            if (auto frame = reader_.TakeByte()) {
                return HandleRequest(*frame);
            }
            return false;
        case Phase::kCodeSize:
        case Phase::kPersoSize:
        case Phase::kCodeBlocks:
        case Phase::kPersoBlocks:
        case Phase::kChecksum:
            if (auto frame = reader_.TakeLongFrame()) {
                if (phase_ == Phase::kCodeSize) {
                    HandleSize(*frame, code_size_, Phase::kCodeBlocks);
                } else if (phase_ == Phase::kPersoSize) {
                    HandleSize(*frame, perso_size_, Phase::kPersoBlocks);
                } else if (phase_ == Phase::kCodeBlocks) {
                    HandleBlock(*frame, code, code_size_, code_blocks);
                } else if (phase_ == Phase::kPersoBlocks) {
                    HandleBlock(*frame, perso, perso_size_, perso_blocks);
                } else {
                    HandleChecksum(*frame);
                }
                return true;
            }
            return false;
        case Phase::kDone:
            if (reader_.Pending() > 0) {
                errors_.push_back(std::to_string(reader_.TakeAll().size()) +
                                  " bytes came after the end of the download");
            }
            return false;
    }
    return false;
}

bool VirtualPhone::HandleLoaderFrame(const dekvanto::sim::Frame &frame) {
    const bool good = Check(frame, announced_rate_, "a loader frame");
    if (frame.length == 0) {
        Send(kSync, times_.loader_start_ms);
        phase_ = Phase::kRequest;
        return true;
    }
    loader.insert(loader.end(), frame.payload.begin(), frame.payload.end());
    Send(good ? kAck : kNak);
    return true;
}

bool VirtualPhone::HandleRequest(const dekvanto::sim::Frame &frame) {
    Check(frame, announced_rate_, "the download request byte");
    flags_ = frame.payload[0] & 0x03;
    if ((flags_ & 0x01) != 0) {
        phase_ = Phase::kCodeSize;
    } else if ((flags_ & 0x02) != 0) {
        Send(kSync, times_.restart_ms);
        phase_ = Phase::kPersoSize;
    } else {
        phase_ = Phase::kDone;
    }
    return true;
}

void VirtualPhone::HandleSize(const dekvanto::sim::Frame &frame, uint32_t &size, Phase next) {
    const bool perso_file = next == Phase::kPersoBlocks;
    const bool good =
        Check(frame, perso_file ? kDekeRate : announced_rate_, "a size frame") && frame.length == 4;
    size = Little(frame.payload, 4);
    Send(good ? kAck : kNak);
    if (size > 0) {
        phase_ = next;
    } else if (perso_file) {
        Send(kSync, times_.perso_done_ms);
        phase_ = Phase::kDone;
    } else {
        phase_ = Phase::kChecksum;
    }
}

void VirtualPhone::HandleBlock(const dekvanto::sim::Frame &frame, std::vector<uint8_t> &image,
                               uint32_t size, int &blocks) {
    const bool perso_file = &image == &perso;
    const bool good = Check(frame, perso_file ? kDekeRate : announced_rate_, "a data block");
    image.insert(image.end(), frame.payload.begin(), frame.payload.end());
    ++blocks;
    Send(good ? kAck : kNak);
    if (image.size() < size) {
        return;
    }
    if (perso_file) {
        Send(kSync, times_.perso_done_ms);
        phase_ = Phase::kDone;
    } else {
        phase_ = Phase::kChecksum;
    }
}

void VirtualPhone::HandleChecksum(const dekvanto::sim::Frame &frame) {
    bool good = Check(frame, announced_rate_, "the checksum frame") && frame.length == 2;
    if (good && Little(frame.payload, 2) != dekvanto::sim::Sum16(code)) {
        errors_.push_back("the checksum frame does not match the code file received");
        good = false;
    }
    Send(good ? kAck : kNak);
    Send(kSync, times_.erase_start_ms);
    Send(kSync, times_.erase_end_ms);
    if ((flags_ & 0x02) != 0) {
        Send(kSync, times_.restart_ms);
        phase_ = Phase::kPersoSize;
    } else {
        phase_ = Phase::kDone;
    }
}

}  // namespace dekvanto::engine::testing
