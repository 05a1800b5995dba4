#include "frames/frames.h"

#include <cstring>

#include "line/speed_table.h"

namespace dekvanto::engine {
namespace {

constexpr uint32_t kRefused = 0xFFFFFFFFu;
// The line setup frame names the speed table's entries 6, 7, 8, ... in table order.
constexpr uint8_t kFirstSpeedCode = 6;

uint8_t Xor(const uint8_t *bytes, uint32_t count) {
    uint8_t check = 0;
    for (uint32_t i = 0; i < count; ++i) {
        check ^= bytes[i];
    }
    return check;
}

// Closes a frame of body bytes with its check byte.
void Seal(uint8_t *buffer, uint32_t body, uint32_t &length) {
    buffer[body] = Xor(buffer, body);
    length = body + 1;
}

}  // namespace

uint8_t MakeTargetByte(uint8_t *buffer, uint32_t &length, uint32_t wait_states, uint32_t bus_size) {
    uint8_t result = 0;
    buffer[0] = 0;
    switch (wait_states) {
        case 0x00:
        case 0x08:
        case 0x10:
        case 0x18:
            buffer[0] = static_cast<uint8_t>(wait_states);
            break;
        default:
            result = kFrameBadWaitStates;
            break;
    }
    length = 1;
    if (bus_size == 0x20) {
        buffer[0] |= 0x20;
    } else if (bus_size != 0) {
        return kFrameBadBusSize;
    }
    return result;
}

uint8_t MakeLineFrame(uint8_t *buffer, uint32_t &length, uint32_t bit_rate, uint32_t parity,
                      uint32_t stop_bits) {
    uint8_t result = 0;
    buffer[0] = 0x06;
    buffer[1] = 'S';
    if (const auto index = SpeedIndexOfBitRate(bit_rate)) {
        buffer[2] = static_cast<uint8_t>(kFirstSpeedCode + *index);
    } else {
        result = kFrameBadSpeed;
    }
    buffer[3] = 'P';
    if (parity <= 2) {
        buffer[4] = static_cast<uint8_t>(parity);
    } else {
        result = kFrameBadParity;
    }
    buffer[5] = 'T';
    if (stop_bits == 0 || stop_bits == 2) {
        buffer[6] = stop_bits == 0 ? 1 : 2;
    } else {
        result = kFrameBadStopBits;
    }
    Seal(buffer, 7, length);
    return result;
}

uint8_t MakeLoaderBlock(uint8_t *buffer, uint32_t &length, const uint8_t *source, uint32_t count) {
    if (count > 0xFF) {
        length = 0;
        return kFrameTooLong;
    }
    buffer[0] = static_cast<uint8_t>(count);
    if (count != 0) {
        std::memcpy(buffer + 1, source, count);
    }
    Seal(buffer, count + 1, length);
    return 0;
}

uint8_t MakeLoaderEnd(uint8_t *buffer, uint32_t &length) {
    return MakeLoaderBlock(buffer, length, nullptr, 0);
}

uint8_t MakeStartByte(uint8_t *buffer, uint32_t &length, uint32_t file_flags) {
    buffer[0] = static_cast<uint8_t>(0x40 | (file_flags & 0xFF));
    length = 1;
    return 0;
}

uint8_t MakeSizeFrame(uint8_t *buffer, uint32_t &length, uint32_t size) {
    const uint8_t value[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                              static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
    return MakeDataBlock(buffer, length, value, sizeof value);
}

uint8_t MakeDataBlock(uint8_t *buffer, uint32_t &length, const uint8_t *source, uint32_t count) {
    if (count > 0xFFFF) {
        length = 0;
        return kFrameTooLong;
    }
    buffer[0] = static_cast<uint8_t>(count);
    buffer[1] = static_cast<uint8_t>(count >> 8);
    if (count != 0) {
        std::memcpy(buffer + 2, source, count);
    }
    Seal(buffer, count + 2, length);
    return 0;
}

uint8_t MakeSumFrame(uint8_t *buffer, uint32_t &length, uint16_t sum) {
    const uint8_t value[2] = {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)};
    return MakeDataBlock(buffer, length, value, sizeof value);
}

uint16_t Sum16(const uint8_t *data, int64_t count) {
    uint32_t sum = 0;
    for (int64_t i = 0; i < count; ++i) {
        sum += data[i];
    }
    return static_cast<uint16_t>(0xFFFFu - (sum & 0xFFFFu));
}

uint32_t WaitStateValue(int32_t index) {
    return index >= 0 && index <= 3 ? static_cast<uint32_t>(index) * 8 : kRefused;
}

uint32_t BusSizeValue(int32_t index) {
    return index == 0 ? 0x00 : index == 1 ? 0x20 : kRefused;
}

uint32_t ParityValue(int32_t index) {
    return index >= 0 && index <= 2 ? static_cast<uint32_t>(index) : kRefused;
}

uint32_t StopBitValue(int32_t index) {
    return index == 0 ? 0 : index == 1 ? 2 : kRefused;
}

uint32_t BitRateValue(int32_t index) {
    return BitRateOfSpeedIndex(index).value_or(kRefused);
}

}  // namespace dekvanto::engine
