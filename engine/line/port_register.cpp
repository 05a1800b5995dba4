#include "line/port_register.h"

#include <cstdlib>
#include <filesystem>

namespace dekvanto::engine {
namespace {

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string PortRegisterDirectory() {
    std::string dir = Environment("DEKVANTO_PORTS");
    if (!dir.empty()) {
        return dir;
    }
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = Environment("HOME");
        if (home.empty()) {
            return "";
        }
        config = home + "/.config";
    }
    return config + "/dekvanto/ports";
}

std::optional<std::string> DeviceForPort(int number) {
    if (number < 1) {
        return std::nullopt;
    }
    const std::string dir = PortRegisterDirectory();
    if (!dir.empty()) {
        const std::string entry = dir + "/COM" + std::to_string(number);
        std::error_code error;
        if (std::filesystem::is_symlink(entry, error) || std::filesystem::exists(entry, error)) {
            return entry;
        }
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::optional<int> PortNumberFromDeviceName(const std::string &device_name) {
    const auto at = device_name.rfind("COM");
    if (at == std::string::npos || at + 3 >= device_name.size()) {
        return std::nullopt;
    }
    long number = 0;
    for (std::size_t i = at + 3; i < device_name.size(); ++i) {
        const char c = device_name[i];
        if (c < '0' || c > '9' || number > 100000000) {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    return static_cast<int>(number);
}

}  // namespace dekvanto::engine
