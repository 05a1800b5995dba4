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

// The product names of the devices, by the node they stand for.
std::map<fs::path, std::string> ProductsByNode(const std::vector<SerialDevice> &devices) {
    std::map<fs::path, std::string> products;
    for (const SerialDevice &device : devices) {
        std::error_code error;
        const fs::path node = fs::canonical(device.node, error);
        if (!error) {
            products[node] = device.product;
        }
    }
    return products;
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
    const std::map<fs::path, std::string> products = ProductsByNode(devices);
    std::vector<ListedPort> ports;
    for (const RegisterEntry &entry : entries) {
        if (entry.device) {
            const auto product = products.find(*entry.device);
            ports.push_back(
                {entry.number, *entry.device, product != products.end() ? product->second : ""});
        }
    }
    return ports;
}

}  // namespace dekvanto::platform
