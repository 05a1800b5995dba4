// Where the serial port COM<n> lives on a POSIX machine: the port register.
//
// The port register is a directory of symbolic links named COM1, COM2, ... that lead to tty
// devices (a USB adapter, a phone simulator's pseudo-terminal). It is $DEKVANTO_PORTS when that
// is set, else ${XDG_CONFIG_HOME:-$HOME/.config}/dekvanto/ports. A port without an entry is the
// kernel's serial port: COM1 is /dev/ttyS0 (DeviceForPort, port_name.h). Only entries named as a
// port ("COM" and a number from 1 up without a leading zero) are ports; the register's other
// files are left alone.
//
// Entries are made with symlink(), which refuses a name that exists: two programs that register
// at the same moment never take the same number.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "dekvanto/platform/port_name.h"

namespace dekvanto::platform {

// The port register directory ("" when neither the variables nor HOME say where it is).
std::string PortRegisterDirectory();

// The port number of an entry named as a port ("COM<n>", port_name.h), or nothing for any other
// name.
std::optional<int> PortNumberOfEntry(std::string_view name);

// The entry's place for port COM<number>.
std::filesystem::path PortEntryPath(const std::filesystem::path &directory, int number);

struct RegisterEntry {
    int number = 0;
    std::filesystem::path link;                   // directory/COM<number>
    std::optional<std::filesystem::path> device;  // the node it leads to, when that exists now
};

// The register's port entries, by number; none when the directory cannot be read.
std::vector<RegisterEntry> ReadPortRegister(const std::filesystem::path &directory);

// Whether an entry whose device has gone may be taken over by a new link.
enum class StaleEntries { kKeep, kReplace };

// Links target as COM<n> for the lowest n from first to last whose entry is free: absent, or
// with kReplace also one whose device has gone (left by a program that ended without cleaning
// up). The number, or nothing when every number is taken or a link cannot be made.
std::optional<int> LinkLowestFreePort(const std::filesystem::path &directory, int first, int last,
                                      const std::filesystem::path &target, StaleEntries stale);

// Removes the link, but only while it still leads to target (another program may have taken
// the number since).
void RemovePortLink(const std::filesystem::path &link, const std::filesystem::path &target);

// What assigning a device to a port by hand gave.
struct PortAssignment {
    enum Outcome {
        kLinked,         // the entry was made
        kAlreadyLinked,  // the entry led to the device already
        kNoDevice,       // the device does not exist
        kNotAbsolute,    // the device was not named by an absolute path
        kNotADevice,     // the path names a file, a folder, a pipe or a socket, no device
        kThroughLink,    // the path reaches its device through a link outside /dev/serial/
        kTaken,          // the entry leads elsewhere (see other); it is left as it is
        kFailed,         // the entry could not be made (see error)
    };
    Outcome outcome = kFailed;
    std::filesystem::path link;   // the entry, directory/COM<number>
    std::filesystem::path other;  // kTaken: where the entry leads
    std::error_code error;        // kFailed: why (also a refusal of write_rules.h)
};

// What a device path given by hand names, as the check below sees it.
struct DeviceFacts {
    bool exists = false;
    bool character_device = false;  // what the path names, links followed, is one
    bool through_link = false;      // a symbolic link lies on the way (canonical form differs)
};

// The facts of `device` on this machine.
DeviceFacts DeviceFactsOf(const std::filesystem::path &device);

// Why `device` may not become a port's entry (nothing when it may): a port leads to a character
// device named by its absolute path, reached through no symbolic link but those that the system
// keeps under /dev/serial/ (by-id, by-path), whose names stay with their adapter. A relative
// path would make a link that leads elsewhere from every other folder; a file, a folder or a link
// of anyone's making is no port.
std::optional<PortAssignment::Outcome> RefusalOfDevice(const std::filesystem::path &device,
                                                       const DeviceFacts &facts);

// Makes COM<number> lead to device, once RefusalOfDevice accepts it, creating the register
// directory when it is missing. The directory and the entry are made under the rules of
// write_rules.h: root makes none inside another user's folder.
PortAssignment AssignPort(const std::filesystem::path &directory, int number,
                          const std::filesystem::path &device);

}  // namespace dekvanto::platform
