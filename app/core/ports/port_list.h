// The serial ports that the Settings dialog offers in its port box.
//
// Every port is named "COM" followed by its number: the download control reads the port number
// from the text after "COM", and the Settings dialog also accepts a typed name of that form.
// Where the names come from depends on the system (PortSource): on POSIX the engine's port
// register directory and the machine's serial devices (posix_port_source.h); on Windows the
// system's register of serial devices (registry_port_source.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dekvanto::core {

// One entry of the port box.
struct PortEntry {
    std::string name;          // the text shown and stored: "COM" and the number
    std::string device;        // the device that the port opens (for example /dev/ttyUSB0), or ""
    std::string product;       // what the device calls itself (a USB adapter's product name), or ""
    std::string usb_serial{};  // a USB adapter's serial number, or ""

    bool operator==(const PortEntry &) const = default;
};

// The system's register of serial ports.
class PortSource {
  public:
    virtual ~PortSource() = default;

    // The ports to offer, in the port box's order (see AddSortedPort and AddFixedPorts); read
    // afresh at each call, as the box is filled each time the Settings dialog opens.
    virtual std::vector<PortEntry> ListPorts() = 0;

    // The Settings dialog accepted a typed name "COM<n>" that the list did not offer. A system
    // that keeps a register of port names learns it here; nothing is reported either way.
    virtual void RegisterTypedPort(std::string_view name) = 0;
};

// Adds `entry` to the list at its place in alphabetical order of the names, compared without
// regard to ASCII case, after any equal names (duplicates are all kept). So "COM10" comes between
// "COM1" and "COM2".
void AddSortedPort(std::vector<PortEntry> &list, PortEntry entry);

// The entries' texts, in list order (what the Settings dialog's rules take).
std::vector<std::string> PortNames(const std::vector<PortEntry> &list);

// The two names offered when the register gives nothing: "COM1" and then "COM2", appended at the
// end of the list (not sorted in). `first_device` and `second_device` are what they open.
void AddFixedPorts(std::vector<PortEntry> &list, std::string first_device,
                   std::string second_device);

}  // namespace dekvanto::core
