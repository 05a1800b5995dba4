#include "dekvanto/platform/port_register.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "dekvanto/platform/write_folder.h"

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// An entry that may be taken: absent, or with kReplace one whose device has gone.
bool EntryFree(const fs::path &entry, StaleEntries stale) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(entry, error))) {
        return stale == StaleEntries::kReplace && fs::is_symlink(entry, error) &&
               !fs::exists(entry, error);
    }
    return true;
}

}  // namespace

std::string PortRegisterDirectory() {
    std::string dir = Environment("DEKVANTO_PORTS");
    if (!dir.empty()) {
        return dir;
    }
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = Environment("HOME");
        if (home.empty()) {
            return "";
        }
        config = home + "/.config";
    }
    return config + "/dekvanto/ports";
}

std::optional<std::string> DeviceForPort(int number) {
    if (number < 1) {
        return std::nullopt;
    }
    const std::string dir = PortRegisterDirectory();
    if (!dir.empty()) {
        const fs::path entry = PortEntryPath(dir, number);
        std::error_code error;
        if (fs::exists(fs::symlink_status(entry, error))) {
            return entry.string();
        }
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::optional<int> PortNumberOfEntry(std::string_view name) {
    const std::optional<PortName> port = PortName::Parse(name);
    return port ? std::optional<int>(port->Number()) : std::nullopt;
}

fs::path PortEntryPath(const fs::path &directory, int number) {
    return directory / ("COM" + std::to_string(number));
}

std::vector<RegisterEntry> ReadPortRegister(const fs::path &directory) {
    std::vector<RegisterEntry> entries;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::optional<int> number = PortNumberOfEntry(it->path().filename().string());
        if (!number) {
            continue;
        }
        RegisterEntry entry{*number, it->path(), std::nullopt};
        std::error_code resolve_error;
        const fs::path device = fs::canonical(it->path(), resolve_error);
        if (!resolve_error) {
            entry.device = device;
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const RegisterEntry &a, const RegisterEntry &b) { return a.number < b.number; });
    return entries;
}

std::optional<int> LinkLowestFreePort(const fs::path &directory, int first, int last,
                                      const fs::path &target, StaleEntries stale) {
    for (int number = first; number <= last; ++number) {
        const fs::path entry = PortEntryPath(directory, number);
        if (!EntryFree(entry, stale)) {
            continue;
        }
        std::error_code ignored;
        if (fs::is_symlink(entry, ignored)) {
            fs::remove(entry, ignored);  // a stale entry that may be replaced
        }
        if (::symlink(target.c_str(), entry.c_str()) == 0) {
            return number;
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
        // taken meanwhile by another program: on to the next number
    }
    return std::nullopt;
}

void RemovePortLink(const fs::path &link, const fs::path &target) {
    std::error_code error;
    if (fs::is_symlink(link, error) && fs::read_symlink(link, error) == target) {
        fs::remove(link, error);
    }
}

DeviceFacts DeviceFactsOf(const fs::path &device) {
    DeviceFacts facts;
    struct stat status {};
    facts.exists = ::stat(device.c_str(), &status) == 0;
    facts.character_device = facts.exists && S_ISCHR(status.st_mode);
    std::error_code error;
    const fs::path real = fs::canonical(device, error);
    facts.through_link = !error && real != device.lexically_normal();
    return facts;
}

std::optional<PortAssignment::Outcome> RefusalOfDevice(const fs::path &device,
                                                       const DeviceFacts &facts) {
    if (!device.is_absolute()) {
        return PortAssignment::kNotAbsolute;
    }
    if (!facts.exists) {
        return PortAssignment::kNoDevice;
    }
    if (!facts.character_device) {
        return PortAssignment::kNotADevice;
    }
    if (facts.through_link && !device.lexically_normal().string().starts_with("/dev/serial/")) {
        return PortAssignment::kThroughLink;
    }
    return std::nullopt;
}

PortAssignment AssignPort(const fs::path &directory, int number, const fs::path &device) {
    PortAssignment result;
    result.link = PortEntryPath(directory, number);
    if (const auto refused = RefusalOfDevice(device, DeviceFactsOf(device))) {
        result.outcome = *refused;
        return result;
    }
    const WriteFolder folder = WriteFolder::Open(directory, true, result.error);
    if (!folder.IsOpen()) {
        return result;
    }
    const std::string name = result.link.filename().string();
    if (folder.KindOf(name) == EntryKind::kSymbolicLink) {
        std::error_code ignored;
        result.other = fs::read_symlink(result.link, ignored);
        result.outcome =
            result.other == device ? PortAssignment::kAlreadyLinked : PortAssignment::kTaken;
        return result;
    }
    result.error = folder.CheckWrite(name);
    if (!result.error && ::symlinkat(device.c_str(), folder.Descriptor(), name.c_str()) != 0) {
        result.error = std::error_code(errno, std::generic_category());
    }
    result.outcome = result.error ? PortAssignment::kFailed : PortAssignment::kLinked;
    return result;
}

}  // namespace dekvanto::platform
