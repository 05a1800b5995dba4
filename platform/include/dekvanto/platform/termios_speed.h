// The termios speed constants (B2400, B115200, ...) and the bit rates they stand for: the system
// names each rate it supports by a constant of its own, not by the number.
#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>

namespace dekvanto::platform {

// The constant for a bit rate, or nothing when the system has none for it.
std::optional<speed_t> TermiosSpeedOf(uint32_t bit_rate);

// The bit rate of a constant, 0 for a constant that stands for no rate known here.
uint32_t BitRateOfTermiosSpeed(speed_t speed);

}  // namespace dekvanto::platform
