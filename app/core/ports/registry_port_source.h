// The port list of Windows: the system's register of serial devices, the registry key
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM (dekvanto/platform/serial_comm.h). Each value
// of the key is one port: its data is the port name ("COM3"), its name the system's device behind
// it ("\Device\Serial0").
//
// Each listing reads the key's values in the registry's order:
// - a value whose data reads as text of at most 9 characters is added in the port box's sorted
//   order (AddSortedPort; duplicates are kept); a value whose data does not fit is skipped;
// - "COM1" and "COM2" are appended at the end (AddFixedPorts) when the key cannot be opened, when
//   it has no value, or when the data of the last value could not be read (the last read
//   decides, even when earlier ports were listed).
// A typed port name "COM<n>" that the list did not offer is added to the key as a string value
// whose name and data are both the text (the data with its terminating NUL), so that it is
// listed from then on. A key that cannot be opened for writing (no administrator rights) or a
// value that cannot be set is ignored.
#pragma once

#include <string>

#include "core/ports/port_list.h"
#include "dekvanto/platform/serial_comm.h"

namespace dekvanto::core {

class RegistryPortSource final : public PortSource {
  public:
    // The system's register.
    RegistryPortSource();
    // The key subkey under the open key root (tests use a key of their own).
    RegistryPortSource(HKEY__ *root, std::string subkey);

    std::vector<PortEntry> ListPorts() override;
    void RegisterTypedPort(std::string_view name) override;

  private:
    HKEY__ *root_;
    std::string subkey_;
};

// The key of the system's register of serial devices, under HKEY_LOCAL_MACHINE.
using platform::kSerialCommKey;

}  // namespace dekvanto::core
