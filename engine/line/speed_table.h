// The line's bit rates. The settings carry the download speed as an index into the speed table;
// the line switches to the rate it names, and the line setup frame tells the phone the same
// entry. Every download starts at the boot code's rate, whatever the speed setting.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "dekvanto/mx40_speeds.h"

namespace dekvanto::engine {

// The rate at which the port opens and the boot code listens.
inline constexpr uint32_t kOpenBitRate = 2400;

// Speed index -> bit rate (dekvanto/mx40_speeds.h; the settings' speed list shows the same).
#define DEKVANTO_SPEED_RATE(rate) uint32_t{rate},
inline constexpr std::array kSpeedTable = {MX40_SPEEDS(DEKVANTO_SPEED_RATE)};
#undef DEKVANTO_SPEED_RATE

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
