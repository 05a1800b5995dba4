#include "sim/frame_checks.h"

#include <cstdio>

namespace dekvanto::sim {
namespace {

constexpr uint32_t kLoaderBlockMax = 32;
constexpr uint32_t kDataBlockMax = 256;

}  // namespace

uint32_t BitRateOfCode(uint8_t code) {
    return code >= kFirstSpeedCode && code <= kLastSpeedCode ? 57600u << (code - kFirstSpeedCode)
                                                             : 0;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

uint32_t LittleEndian(const std::vector<uint8_t> &bytes, size_t from, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        value |= static_cast<uint32_t>(bytes[from + i]) << (8 * i);
    }
    return value;
}

Faults CheckByteFaults(const Frame &frame, const std::string &name) {
    if (frame.CheckOk()) {
        return {};
    }
    return {name + " has check byte " + Hex(frame.check) + ", the XOR of its bytes is " +
            Hex(frame.expected)};
}

Faults TargetByteFaults(uint8_t target, const Expectations &expect) {
    Faults faults;
    if ((target & ~0x38) != 0) {
        faults.push_back("memory target byte " + Hex(target) +
                         " has bits set besides the wait states (bits 3-4) and the bus width "
                         "(bit 5)");
    }
    if (expect.target_byte && target != *expect.target_byte) {
        faults.push_back("memory target byte " + Hex(target) + ", expected " +
                         Hex(*expect.target_byte));
    }
    return faults;
}

Faults LineFrameFaults(const Frame &frame, std::optional<LineSettings> &line) {
    const auto &p = frame.payload;
    if (p.size() != 6 || p[0] != 'S' || p[2] != 'P' || p[4] != 'T') {
        return {"the line setup frame is not 06 'S' speed 'P' parity 'T' stop-bits"};
    }
    line = LineSettings{BitRateOfCode(p[1]), p[3], p[5]};
    Faults faults;
    if (line->bit_rate == 0) {
        faults.push_back("line setup frame: speed code " + std::to_string(p[1]) + " is not 6..9");
    }
    if (line->parity > 2) {
        faults.push_back("line setup frame: parity " + std::to_string(line->parity) +
                         " is not 0..2");
    }
    if (line->stop_bits < 1 || line->stop_bits > 2) {
        faults.push_back("line setup frame: stop-bit count " + std::to_string(line->stop_bits) +
                         " is not 1 or 2");
    }
    return faults;
}

Faults LineExpectationFaults(const LineSettings &line, const Expectations &expect) {
    Faults faults;
    if (expect.bit_rate && line.bit_rate != *expect.bit_rate) {
        faults.push_back("line setup frame announces " + std::to_string(line.bit_rate) +
                         " bit/s, expected " + std::to_string(*expect.bit_rate));
    }
    if (expect.parity && line.parity != *expect.parity) {
        faults.push_back("line setup frame announces parity " + std::to_string(line.parity) +
                         ", expected " + std::to_string(*expect.parity));
    }
    if (expect.stop_bits && line.stop_bits != *expect.stop_bits) {
        faults.push_back("line setup frame announces " + std::to_string(line.stop_bits) +
                         " stop bits, expected " + std::to_string(*expect.stop_bits));
    }
    return faults;
}

Faults LoaderBlockFaults(const Frame &frame, int block, bool after_short_block) {
    const std::string name = "loader block " + std::to_string(block);
    Faults faults;
    if (frame.length > kLoaderBlockMax) {
        faults.push_back(name + " carries " + std::to_string(frame.length) +
                         " bytes, more than 32");
    }
    if (after_short_block) {
        faults.push_back(name + " follows a block shorter than 32 bytes");
    }
    return faults;
}

Faults RequestByteFaults(uint8_t request, const Expectations &expect) {
    Faults faults;
    if ((request & 0xFC) != 0x40) {
        faults.push_back("download request byte " + Hex(request) + " is not 0x40..0x43");
    }
    if (expect.request_byte && request != *expect.request_byte) {
        faults.push_back("download request byte " + Hex(request) + ", expected " +
                         Hex(*expect.request_byte));
    }
    return faults;
}

Faults DataBlockFaults(const Frame &frame, const std::string &name, uint32_t size,
                       uint64_t received) {
    const uint64_t remaining = size - received;
    if (frame.length == 0 || frame.length > kDataBlockMax) {
        return {name + " carries " + std::to_string(frame.length) + " bytes, not 1..256"};
    }
    if (frame.length > remaining) {
        return {name + " carries " + std::to_string(frame.length) + " bytes, past the announced " +
                std::to_string(size)};
    }
    if (frame.length < kDataBlockMax && frame.length != remaining) {
        return {name + " carries only " + std::to_string(frame.length) +
                " bytes but is not the last"};
    }
    return {};
}

Faults ChecksumFaults(const Frame &frame, uint16_t computed) {
    if (frame.length != 2) {
        return {"the checksum frame carries " + std::to_string(frame.length) + " bytes, not 2"};
    }
    const uint32_t received = LittleEndian(frame.payload, 0, 2);
    if (received != computed) {
        return {"checksum frame says " + Hex(received) + ", the code file received sums to " +
                Hex(computed)};
    }
    return {};
}

}  // namespace dekvanto::sim
