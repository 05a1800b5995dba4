#include <cstdlib>
#include <system_error>

#include "core/settings/program_folder.h"
#include "dekvanto/platform/program_folder.h"
#include "dekvanto/platform/write_folder.h"

namespace dekvanto::core {
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

SettingsPlace ObserveSettingsPlace(const std::filesystem::path &dir) {
    SettingsPlace place;
    place.program_directory_writable =
        !InstalledByThePackageManager(dir) && platform::MayMakeFilesIn(dir);
    place.xdg_config_home = Environment("XDG_CONFIG_HOME");
    place.home = Environment("HOME");
    place.administrator = platform::RunsAsAdministrator();
    if (place.administrator) {
        place.account_home = platform::AdministratorHome();
    }
    return place;
}

void PrepareSettingsFolder(const ProgramFiles &files) {
    if (!files.settings_file.empty()) {
        std::error_code ignored;
        platform::WriteFolder::Open(files.settings_file.parent_path(), true, ignored);
    }
}

}  // namespace dekvanto::core
