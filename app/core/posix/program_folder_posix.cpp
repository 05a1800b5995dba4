#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "core/settings/program_folder.h"
#include "dekvanto/platform/write_folder.h"
#include "dekvanto/platform/write_rules.h"

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

// Whether the rules of where a file may be written let this process write into folder dir (root:
// only a folder of its own).
bool MayWriteInto(const std::filesystem::path &dir) {
    struct stat status {};
    return ::stat(dir.c_str(), &status) == 0 &&
           platform::RefusalOf({::geteuid(), status.st_uid, platform::EntryKind::kMissing}) ==
               platform::WriteRefusal::kNone;
}

// The home folder of user in the password database.
std::optional<std::string> AccountHome(uid_t user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        entry.pw_dir == nullptr || *entry.pw_dir == '\0') {
        return std::nullopt;
    }
    return std::string(entry.pw_dir);
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
        !InstalledByThePackageManager(dir) && ::access(dir.c_str(), W_OK) == 0 && MayWriteInto(dir);
    place.xdg_config_home = Environment("XDG_CONFIG_HOME");
    place.home = Environment("HOME");
    place.administrator = ::geteuid() == 0;
    if (place.administrator) {
        place.account_home = AccountHome(0);
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
