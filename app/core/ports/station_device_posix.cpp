#include <filesystem>

#include "core/records/unit_record.h"
#include "dekvanto/platform/port_name.h"
#include "dekvanto/platform/serial_devices.h"

namespace dekvanto::core {

namespace {

// What the port opens: the node its register entry (else the kernel's ttyS<n-1>) leads to, or the
// entry itself when it leads nowhere; nothing for a text that names no port.
std::optional<std::filesystem::path> NodeOfStation(std::string_view port_name, bool &resolved) {
    const std::optional<platform::PortName> port = platform::PortName::Parse(port_name);
    const std::optional<std::string> entry =
        port ? std::optional(platform::DeviceForPort(*port)) : std::nullopt;
    resolved = false;
    if (!entry) {
        return std::nullopt;
    }
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(*entry, error);
    resolved = !error;
    return error ? std::filesystem::path(*entry) : node;
}

}  // namespace

std::string DevicePathOfStation(std::string_view port_name) {
    bool resolved = false;
    const auto node = NodeOfStation(port_name, resolved);
    return node ? node->string() : "";
}

RecordDevice DeviceOfStation(std::string_view port_name) {
    namespace fs = std::filesystem;
    bool resolved = false;
    const std::optional<fs::path> found = NodeOfStation(port_name, resolved);
    if (!found) {
        return RecordDevice{};
    }
    const fs::path &node = *found;
    if (!resolved) {
        return RecordDevice{node.string(), {}, {}};
    }
    for (const platform::SerialDevice &serial : platform::FindSerialDevices({})) {
        std::error_code other;
        if (fs::canonical(serial.node, other) == node && !other) {
            return DeviceRecord(node.string(), serial.usb_serial, serial.product);
        }
    }
    return RecordDevice{node.string(), {}, {}};
}

}  // namespace dekvanto::core
