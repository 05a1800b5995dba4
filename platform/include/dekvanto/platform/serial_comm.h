// The Windows system's register of serial devices: the registry key
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM. Each value of the key is one port: its data
// is the port name ("COM3"), its name the system's device behind it ("\Device\Serial0").
//
// Value names of any length are read: the system names its devices "\Device\Serial0",
// "\Device\VCP0" and the like, and a short name buffer would stop the reading at the first of
// them. A value's data is read as text of at most 9 characters, up to its first NUL (data stored
// without one ends at its size); longer data is not read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct HKEY__;

namespace dekvanto::platform {

// The key of the system's register of serial devices, under HKEY_LOCAL_MACHINE.
inline constexpr const char *kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// HKEY_LOCAL_MACHINE.
HKEY__ *LocalMachineKey();

struct SerialCommValue {
    std::string device;               // the value's name
    std::optional<std::string> port;  // its data; nothing when it could not be read
};

// The values of the key subkey under the open key root, in the registry's order; nothing when
// the key cannot be opened for reading.
std::optional<std::vector<SerialCommValue>> ReadSerialComm(HKEY__ *root, const std::string &subkey);

// Adds a string value whose name and data are both `port` (the data with its terminating NUL).
// A key that cannot be opened for writing (no administrator rights) or a value that cannot be
// set is ignored.
void AddSerialCommPort(HKEY__ *root, const std::string &subkey, std::string_view port);

}  // namespace dekvanto::platform
