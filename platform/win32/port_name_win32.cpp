#include "dekvanto/platform/port_name.h"

namespace dekvanto::platform {

std::optional<std::string> DeviceForPort(int number) {
    if (number < 1) {
        return std::nullopt;
    }
    return "\\\\.\\COM" + std::to_string(number);
}

}  // namespace dekvanto::platform
