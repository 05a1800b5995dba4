#include "dekvanto/platform/port_listing.h"

#include <map>
#include <system_error>

#include "dekvanto/platform/port_register.h"

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

// Whether an entry leads to the device already (a device that vanished meanwhile counts as
// registered, so that it gets no link).
bool IsRegistered(const std::vector<RegisterEntry> &entries, const fs::path &node) {
    std::error_code error;
    const fs::path device = fs::canonical(node, error);
    if (error) {
        return true;
    }
    for (const RegisterEntry &entry : entries) {
        if (entry.device == device) {
            return true;
        }
    }
    return false;
}

// The devices, by the node they stand for.
std::map<fs::path, const SerialDevice *> DevicesByNode(const std::vector<SerialDevice> &devices) {
    std::map<fs::path, const SerialDevice *> by_node;
    for (const SerialDevice &device : devices) {
        std::error_code error;
        const fs::path node = fs::canonical(device.node, error);
        if (!error) {
            by_node[node] = &device;
        }
    }
    return by_node;
}

}  // namespace

std::vector<ListedPort> ListPortRegister(const fs::path &directory, const SystemRoots &roots) {
    const std::vector<SerialDevice> devices = FindSerialDevices(roots);
    std::error_code error;
    fs::create_directories(directory, error);
    std::vector<RegisterEntry> entries = ReadPortRegister(directory);
    for (const SerialDevice &device : devices) {
        if (IsRegistered(entries, device.node)) {
            continue;
        }
        const fs::path target = device.stable_link.empty() ? device.node : device.stable_link;
        if (!LinkLowestFreePort(directory, 1, kHighestPortNumber, target, StaleEntries::kKeep)) {
            break;
        }
        entries = ReadPortRegister(directory);
    }
    const std::map<fs::path, const SerialDevice *> by_node = DevicesByNode(devices);
    std::vector<ListedPort> ports;
    for (const RegisterEntry &entry : entries) {
        if (entry.device) {
            ListedPort port;
            port.number = entry.number;
            port.device = *entry.device;
            if (const auto found = by_node.find(*entry.device); found != by_node.end()) {
                port.product = found->second->product;
                port.usb_serial = found->second->usb_serial;
            }
            ports.push_back(std::move(port));
        }
    }
    return ports;
}

}  // namespace dekvanto::platform
