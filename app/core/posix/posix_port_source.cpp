#include "core/posix_port_source.h"

#include <unistd.h>

#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include "line/port_register.h"

namespace dekvanto::app {
namespace {

namespace fs = std::filesystem;

constexpr int kHighestPortNumber = 99999;

// The number of a register entry named "COM<n>" (n from 1, no leading zero), or nothing.
std::optional<int> PortNumberOf(const std::string &name) {
    if (name.size() < 4 || name.size() > 8 || !name.starts_with("COM") || name[3] == '0') {
        return std::nullopt;
    }
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::nullopt;
        }
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

struct RegisterEntry {
    fs::path path;
    std::optional<fs::path> device;  // the node it leads to, when that exists
};

// The register's port entries by number.
std::map<int, RegisterEntry> ReadRegister(const fs::path &directory) {
    std::map<int, RegisterEntry> entries;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::optional<int> number = PortNumberOf(it->path().filename().string());
        if (!number) {
            continue;
        }
        RegisterEntry entry{it->path(), std::nullopt};
        std::error_code resolve_error;
        const fs::path device = fs::canonical(it->path(), resolve_error);
        if (!resolve_error) {
            entry.device = device;
        }
        entries.emplace(*number, std::move(entry));
    }
    return entries;
}

// Whether an entry leads to the device already (a device that vanished meanwhile counts as
// registered, so that it gets no link).
bool IsRegistered(const std::map<int, RegisterEntry> &entries, const fs::path &node) {
    std::error_code error;
    const fs::path device = fs::canonical(node, error);
    if (error) {
        return true;
    }
    for (const auto &[number, entry] : entries) {
        if (entry.device == device) {
            return true;
        }
    }
    return false;
}

// Links the device to the lowest free number; false when no link can be made.
bool LinkToFreeNumber(const fs::path &directory, std::map<int, RegisterEntry> &entries,
                      const SerialDevice &device) {
    const fs::path target = device.stable_link.empty() ? device.node : device.stable_link;
    for (int number = 1; number <= kHighestPortNumber; ++number) {
        if (entries.contains(number)) {
            continue;
        }
        const fs::path link = directory / ("COM" + std::to_string(number));
        if (::symlink(target.c_str(), link.c_str()) == 0) {
            std::error_code error;
            entries[number] = {link, fs::canonical(link, error)};
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
        entries[number] = {link, std::nullopt};  // taken meanwhile by another program
    }
    return false;
}

}  // namespace

PosixPortSource::Places PosixPortSource::SystemPlaces() {
    return {dekvanto::engine::PortRegisterDirectory(), SystemRoots{}};
}

std::vector<PortEntry> PosixPortSource::ListPorts() {
    const std::vector<SerialDevice> devices = FindSerialDevices(places_.roots);
    std::vector<PortEntry> list;
    const fs::path &directory = places_.register_directory;
    if (!directory.empty()) {
        std::error_code error;
        fs::create_directories(directory, error);
        std::map<int, RegisterEntry> entries = ReadRegister(directory);
        for (const SerialDevice &device : devices) {
            if (!IsRegistered(entries, device.node) &&
                !LinkToFreeNumber(directory, entries, device)) {
                break;
            }
        }
        std::map<fs::path, std::string> products;
        for (const SerialDevice &device : devices) {
            std::error_code resolve_error;
            const fs::path node = fs::canonical(device.node, resolve_error);
            if (!resolve_error) {
                products[node] = device.product;
            }
        }
        for (const auto &[number, entry] : entries) {
            if (entry.device) {
                const auto product = products.find(*entry.device);
                AddSortedPort(list, {"COM" + std::to_string(number), entry.device->string(),
                                     product != products.end() ? product->second : ""});
            }
        }
    }
    if (list.empty()) {
        AddFixedPorts(list, (places_.roots.dev / "ttyS0").string(),
                      (places_.roots.dev / "ttyS1").string());
    }
    return list;
}

}  // namespace dekvanto::app
