// What the phone finds wrong in the frames it takes. Each check gives the faults it found, as the
// texts the session records among its errors, and none when the frame is right. They depend only
// on the frame, the expectations the phone was given and what it has received so far.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/frame_reader.h"
#include "sim/phone_config.h"
#include "sim/summary.h"

namespace dekvanto::sim {

using Faults = std::vector<std::string>;

// The speeds the phone can switch to, by the line setup frame's speed code 6 to 9: 57600,
// 115200, 230400 and 460800 bit/s; 0 for any other code.
inline constexpr uint8_t kFirstSpeedCode = 6;
inline constexpr uint8_t kLastSpeedCode = 9;
uint32_t BitRateOfCode(uint8_t code);

// A byte as the phone's texts show it: 0x38.
std::string Hex(uint32_t value);
// count bytes from from, least significant first.
uint32_t LittleEndian(const std::vector<uint8_t> &bytes, size_t from, size_t count);

// The check byte of a short or long frame (called name in the text).
Faults CheckByteFaults(const Frame &frame, const std::string &name);

// The memory target byte: no bits besides the wait states and the bus width, and as expected.
Faults TargetByteFaults(uint8_t target, const Expectations &expect);

// The line setup frame's layout (06 'S' speed 'P' parity 'T' stop bits) and values; line gets
// what it announces once the layout is right.
Faults LineFrameFaults(const Frame &frame, std::optional<LineSettings> &line);
// The announced settings against those expected. A mismatch is reported; the frame is still good.
Faults LineExpectationFaults(const LineSettings &line, const Expectations &expect);

// Loader block number block: at most 32 bytes, and none after a shorter one.
Faults LoaderBlockFaults(const Frame &frame, int block, bool after_short_block);

// The download request byte: 0x40..0x43, and as expected.
Faults RequestByteFaults(uint8_t request, const Expectations &expect);

// A block (called name) of a file whose size frame announced size bytes, received of them in so
// far: 1..256 bytes, within the size, and shorter than 256 only as the last. One fault at most.
Faults DataBlockFaults(const Frame &frame, const std::string &name, uint32_t size,
                       uint64_t received);

// The checksum frame: two bytes, equal to computed (the 16-bit sum of the code file received).
Faults ChecksumFaults(const Frame &frame, uint16_t computed);

}  // namespace dekvanto::sim
