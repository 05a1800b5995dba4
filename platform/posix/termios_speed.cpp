#include "dekvanto/platform/termios_speed.h"

namespace dekvanto::platform {
namespace {

struct Speed {
    speed_t constant;
    uint32_t bit_rate;
};

constexpr Speed kSpeeds[] = {
    {B300, 300},       {B1200, 1200},     {B2400, 2400},     {B4800, 4800},
    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
    {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

}  // namespace

std::optional<speed_t> TermiosSpeedOf(uint32_t bit_rate) {
    for (const Speed &speed : kSpeeds) {
        if (speed.bit_rate == bit_rate) {
            return speed.constant;
        }
    }
    return std::nullopt;
}

uint32_t BitRateOfTermiosSpeed(speed_t constant) {
    for (const Speed &speed : kSpeeds) {
        if (speed.constant == constant) {
            return speed.bit_rate;
        }
    }
    return 0;
}

}  // namespace dekvanto::platform
