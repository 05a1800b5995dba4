// The port list of a POSIX machine: the engine's port register directory, completed with the
// machine's serial devices.
//
// The register is the directory of symbolic links COM1, COM2, ... that the engine opens
// ($DEKVANTO_PORTS, else ${XDG_CONFIG_HOME:-$HOME/.config}/dekvanto/ports). Each listing:
// 1. finds the serial devices of the machine (serial_devices.h);
// 2. gives every device that no entry of the register leads to yet the lowest free number: a new
//    link COM<n> to its stable name in /dev/serial/by-id when it has one, else to its node. A
//    number is free when the register holds no entry of that name at all, so the link of an
//    unplugged adapter keeps its number, and the adapter gets the same number again when it
//    comes back (its by-id name does not change with the tty the kernel gives it);
// 3. offers every entry COM<n> of the register whose device exists now (links made by hand or by
//    the phone simulator included), with the device node it leads to and, for a USB device, its
//    product name, in the port box's order;
// 4. offers "COM1" and "COM2" (the kernel's ttyS0 and ttyS1, as the engine opens ports without
//    an entry) when nothing else is found.
// The register directory is created when it is missing. Links that cannot be made leave their
// device out of the list; nothing is reported. Only entries named "COM" and a number without
// leading zeros are ports; the register's other files are left alone.
#pragma once

#include <filesystem>

#include "core/port_list.h"
#include "core/serial_devices.h"

namespace dekvanto::app {

class PosixPortSource final : public PortSource {
  public:
    struct Places {
        std::filesystem::path register_directory;  // empty: no register (only the fixed names)
        SystemRoots roots;
    };

    // The places of this machine: the engine's register directory, /sys and /dev.
    static Places SystemPlaces();

    explicit PosixPortSource(Places places) : places_(std::move(places)) {}

    std::vector<PortEntry> ListPorts() override;
    // Nothing is written: a typed name without a register entry is the kernel's port, which the
    // engine opens by its number.
    void RegisterTypedPort(std::string_view) override {}

  private:
    Places places_;
};

}  // namespace dekvanto::app
