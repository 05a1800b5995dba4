// The port list of a POSIX machine: the port register that the engine opens, completed with the
// machine's serial devices (dekvanto/platform/port_listing.h), in the port box's order, and
// "COM1" and "COM2" (the kernel's ttyS0 and ttyS1, as the engine opens ports without an entry)
// when nothing else is found.
#pragma once

#include <filesystem>

#include "core/ports/port_list.h"
#include "dekvanto/platform/serial_devices.h"

namespace dekvanto::core {

class PosixPortSource final : public PortSource {
  public:
    struct Places {
        std::filesystem::path register_directory;  // empty: no register (only the fixed names)
        platform::SystemRoots roots;
    };

    // The places of this machine: the port register directory, /sys and /dev.
    static Places SystemPlaces();

    explicit PosixPortSource(Places places) : places_(std::move(places)) {}

    std::vector<PortEntry> ListPorts() override;
    // Nothing is written: a typed name without a register entry is the kernel's port, which the
    // engine opens by its number.
    void RegisterTypedPort(std::string_view) override {}

  private:
    Places places_;
};

}  // namespace dekvanto::core
