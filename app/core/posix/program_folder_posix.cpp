#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "core/program_folder.h"

namespace dekvanto::app {
namespace {

std::optional<std::string> Environment(const char *name) {
    const char *value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

// A program under /usr was installed by the system's package manager: its folder belongs to the
// package even when the user (root) may write there, so the settings never go into it.
bool InstalledByThePackageManager(const std::filesystem::path &dir) {
    const std::string text = dir.lexically_normal().string();
    return text.rfind("/usr/", 0) == 0 && text.rfind("/usr/local/", 0) != 0;
}

}  // namespace

std::optional<std::filesystem::path> RunningProgramDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.is_absolute()) {
        return std::nullopt;
    }
    return program.parent_path();
}

SettingsPlace ObserveSettingsPlace(const std::filesystem::path &dir) {
    SettingsPlace place;
    place.program_directory_writable =
        !InstalledByThePackageManager(dir) && ::access(dir.c_str(), W_OK) == 0;
    place.xdg_config_home = Environment("XDG_CONFIG_HOME");
    place.home = Environment("HOME");
    return place;
}

}  // namespace dekvanto::app
