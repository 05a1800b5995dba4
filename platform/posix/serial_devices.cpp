#include "dekvanto/platform/serial_devices.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

// How far above a USB tty's device the USB device with its "product" text lies: the tty
// (usb-serial port) -> the interface -> the device.
constexpr int kProductSearchDepth = 4;

// The first line of a small kernel attribute file, without trailing blanks; "" when unreadable.
std::string FirstLine(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::string text;
    std::getline(in, text);
    text = text.substr(0, text.find('\r'));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
    return text;
}

bool IsUsbTty(std::string_view tty) {
    return tty.starts_with("ttyUSB") || tty.starts_with("ttyACM");
}

// Whether the tty in sysfs stands for a device that a serial port can open.
bool IsSerialDevice(const fs::path &class_entry, std::string_view tty) {
    std::error_code error;
    if (!fs::exists(class_entry / "device", error)) {
        return false;
    }
    const fs::path type = class_entry / "type";
    if (fs::exists(type, error)) {
        return std::atoi(FirstLine(type).c_str()) != 0;
    }
    return IsUsbTty(tty);
}

// The "product" and "serial" texts of the USB device above the tty, looked for within the sysfs
// tree only.
void ReadUsbFacts(const fs::path &class_entry, const fs::path &sysfs, SerialDevice &device) {
    std::error_code error;
    const fs::path root = fs::canonical(sysfs, error);
    fs::path at = fs::canonical(class_entry / "device", error);
    if (error) {
        return;
    }
    for (int level = 0; level < kProductSearchDepth && at != root && at.has_relative_path();
         ++level, at = at.parent_path()) {
        if (fs::exists(at / "product", error)) {
            device.product = FirstLine(at / "product");
            device.usb_serial = FirstLine(at / "serial");
            return;
        }
    }
}

// The stable links in dev/serial/by-id, by the device node they lead to (the first name in sorted
// order when several lead to one node).
std::map<fs::path, fs::path> StableLinks(const fs::path &dev) {
    std::map<fs::path, fs::path> links;
    std::error_code error;
    for (fs::directory_iterator it(dev / "serial" / "by-id", error), end; !error && it != end;
         it.increment(error)) {
        std::error_code resolve_error;
        const fs::path node = fs::canonical(it->path(), resolve_error);
        if (resolve_error) {
            continue;
        }
        auto [place, added] = links.emplace(node, it->path());
        if (!added && it->path() < place->second) {
            place->second = it->path();
        }
    }
    return links;
}

// Sort key: real UARTs first, then by the name's letters, then by its trailing number.
std::tuple<bool, std::string, long> OrderOf(const std::string &tty) {
    std::size_t digits = tty.size();
    while (digits > 0 && tty[digits - 1] >= '0' && tty[digits - 1] <= '9') {
        --digits;
    }
    const std::string letters = tty.substr(0, digits);
    const std::string number = tty.substr(digits, 9);
    return {letters != "ttyS", letters, number.empty() ? -1 : std::atol(number.c_str())};
}

}  // namespace

std::vector<SerialDevice> FindSerialDevices(const SystemRoots &roots) {
    const std::map<fs::path, fs::path> stable_links = StableLinks(roots.dev);
    std::vector<SerialDevice> devices;
    std::error_code error;
    for (fs::directory_iterator it(roots.sysfs / "class" / "tty", error), end; !error && it != end;
         it.increment(error)) {
        const std::string tty = it->path().filename().string();
        const fs::path node = roots.dev / tty;
        std::error_code node_error;
        if (!IsSerialDevice(it->path(), tty) || !fs::exists(node, node_error)) {
            continue;
        }
        SerialDevice device{tty, node, {}, ""};
        const auto link = stable_links.find(fs::canonical(node, node_error));
        if (!node_error && link != stable_links.end()) {
            device.stable_link = link->second;
        }
        if (!fs::exists(it->path() / "type", node_error)) {
            ReadUsbFacts(it->path(), roots.sysfs, device);
        }
        devices.push_back(std::move(device));
    }
    std::sort(devices.begin(), devices.end(), [](const SerialDevice &a, const SerialDevice &b) {
        return OrderOf(a.tty) < OrderOf(b.tty);
    });
    return devices;
}

}  // namespace dekvanto::platform
