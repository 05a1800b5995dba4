#include "dekvanto/platform/program_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <vector>

#include "dekvanto/platform/write_rules.h"

namespace dekvanto::platform {

std::optional<std::filesystem::path> RunningProgramDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.is_absolute()) {
        return std::nullopt;
    }
    return program.parent_path();
}

bool MayMakeFilesIn(const std::filesystem::path &dir) {
    struct stat status {};
    return ::access(dir.c_str(), W_OK) == 0 && ::stat(dir.c_str(), &status) == 0 &&
           RefusalOf({::geteuid(), status.st_uid, EntryKind::kMissing}) == WriteRefusal::kNone;
}

bool RunsAsAdministrator() {
    return ::geteuid() == 0;
}

std::optional<std::string> AdministratorHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(0, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        entry.pw_dir == nullptr || *entry.pw_dir == '\0') {
        return std::nullopt;
    }
    return std::string(entry.pw_dir);
}

}  // namespace dekvanto::platform
