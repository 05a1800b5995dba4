// The serial ports of a POSIX machine: the port register (port_register.h), completed with the
// machine's serial devices (serial_devices.h).
//
// Each listing:
// 1. finds the serial devices of the machine;
// 2. gives every device that no entry of the register leads to yet the lowest free number: a new
//    link COM<n> to its stable name in /dev/serial/by-id when it has one, else to its node. A
//    number is free when the register holds no entry of that name at all, so the link of an
//    unplugged adapter keeps its number, and the adapter gets the same number again when it
//    comes back (its by-id name does not change with the tty the kernel gives it);
// 3. returns every entry COM<n> of the register whose device exists now (links made by hand or
//    by the phone simulator included), with the device node it leads to and, for a USB device,
//    its product name and serial number.
// The register directory is created when it is missing. Links that cannot be made leave their
// device out; nothing is reported.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dekvanto/platform/serial_devices.h"

namespace dekvanto::platform {

struct ListedPort {
    int number = 0;
    std::filesystem::path device;  // the node the entry leads to
    std::string product;           // a USB device's product name, or ""
    std::string usb_serial{};      // a USB device's serial number, or ""
};

// The live entries of the register at directory, by number.
std::vector<ListedPort> ListPortRegister(const std::filesystem::path &directory,
                                         const SystemRoots &roots);

}  // namespace dekvanto::platform
