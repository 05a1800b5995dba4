// The line's bit rates. The settings carry the download speed as an index into the speed table;
// the line switches to the rate it names, and the line setup frame tells the phone the same
// entry. Every download starts at the boot code's rate, whatever the speed setting.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace dekvanto::engine {

// The rate at which the port opens and the boot code listens.
inline constexpr uint32_t kOpenBitRate = 2400;

// Speed index -> bit rate ("57600 Bds" ... "460800 Bds" in the settings' speed list).
inline constexpr std::array<uint32_t, 4> kSpeedTable = {57600, 115200, 230400, 460800};

// The rate of a speed index, or nothing outside the table.
constexpr std::optional<uint32_t> BitRateOfSpeedIndex(int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kSpeedTable.size()) {
        return std::nullopt;
    }
    return kSpeedTable[static_cast<std::size_t>(index)];
}

// The speed index of a rate, or nothing for a rate that the table does not hold.
constexpr std::optional<int32_t> SpeedIndexOfBitRate(uint32_t bit_rate) {
    for (std::size_t i = 0; i < kSpeedTable.size(); ++i) {
        if (kSpeedTable[i] == bit_rate) {
            return static_cast<int32_t>(i);
        }
    }
    return std::nullopt;
}

}  // namespace dekvanto::engine
