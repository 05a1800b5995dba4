// The device behind a serial port (DeviceForPort, port_name.h): whether this user can use it,
// whether another program holds it, and on POSIX the exclusive hold that a download takes on it.
//
// POSIX: a download holds its device in two ways for its whole length: an exclusive flock() on
// the descriptor, which every program that follows this rule sees, and the terminal's exclusive
// mode (TIOCEXCL), which makes any further open of the device fail with EBUSY.
// Windows: the device \\.\COM<n> exists while the system knows the name COM<n>
// (QueryDosDeviceA; under Wine also a link com<n> in the prefix's dosdevices folder made after
// Wine started); a port that another program holds refuses to open (access denied); every user
// may use every port, so kNotPermitted does not occur and no group owns a device.
#pragma once

#include <string>

namespace dekvanto::platform {

enum class DeviceAccess {
    kUsable,        // it exists and this user may read and write it
    kMissing,       // nothing at that path (an unplugged adapter, a dangling register entry)
    kNotPermitted,  // it exists, but this user may not read and write it
};

// What this user may do with the device; it is not opened (a phone may be listening for the
// PC's open).
DeviceAccess AccessOfDevice(const std::string &device);

// The name of the group that owns the device, or "" when it cannot be told.
std::string GroupOfDevice(const std::string &device);

// POSIX only. Takes the exclusive hold on an open terminal descriptor. False when another program
// holds the device or fd is no terminal; the descriptor is then not held.
bool HoldDevice(int fd);

// POSIX only. Gives the hold back before the descriptor is closed.
void ReleaseDevice(int fd);

// Whether another program holds the device now. It opens the device to find out, so only after
// this program has let go of it.
bool DeviceHeldByAnother(const std::string &device);

}  // namespace dekvanto::platform
