// The serial devices of a Linux machine, as the kernel lists them under /sys/class/tty.
//
// Taken are USB serial adapters (ttyUSB*) and USB modems such as phones in their ACM mode
// (ttyACM*), and the real UARTs that exist: a tty with a "type" file (a port of the kernel's
// serial core) counts only when its type is not 0, since 0 marks a port number that the kernel
// reserved but found no hardware for. Virtual terminals and consoles have no "device" entry and
// are left out, as are devices without a node in /dev.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dekvanto::platform {

// Where the kernel's views live; tests put a fake tree under a temporary folder.
struct SystemRoots {
    std::filesystem::path sysfs = "/sys";
    std::filesystem::path dev = "/dev";
};

struct SerialDevice {
    std::string tty;                    // the kernel's name, for example "ttyUSB0"
    std::filesystem::path node;         // dev / tty
    std::filesystem::path stable_link;  // its link in dev/serial/by-id, or empty when it has none
    std::string product;                // a USB device's "product" text, or ""
    std::string usb_serial{};           // a USB device's "serial" text, or ""
};

// The devices in the order that new port numbers are handed out: the real UARTs ttyS<n> by
// number first (so the first one tends to become COM1, as its kernel name suggests), then the
// others by name and number (ttyACM0, ttyACM1, ..., ttyUSB0, ttyUSB2, ttyUSB10).
std::vector<SerialDevice> FindSerialDevices(const SystemRoots &roots);

}  // namespace dekvanto::platform
