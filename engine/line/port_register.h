// Where the serial port COM<n> lives on a POSIX machine.
//
// The port register is a directory of symbolic links named COM1, COM2, ... that point at tty
// devices (a USB adapter, a phone simulator's pseudo-terminal). It is $DEKVANTO_PORTS when that
// is set, else ${XDG_CONFIG_HOME:-$HOME/.config}/dekvanto/ports. A port without an entry is the
// kernel's COM port: COM1 is /dev/ttyS0.
#pragma once

#include <optional>
#include <string>

namespace dekvanto::engine {

// The port register directory ("" when neither the variables nor HOME say where it is).
std::string PortRegisterDirectory();

// The device for port number n (n >= 1), or nothing for a number below 1.
std::optional<std::string> DeviceForPort(int number);

// The port number in a device name "\\.\COM<n>" (also "COM<n>"), or nothing.
std::optional<int> PortNumberFromDeviceName(const std::string &device_name);

}  // namespace dekvanto::engine
