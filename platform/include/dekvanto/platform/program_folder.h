// Where the running program lies, and what the process's user may do about the folders that the
// settings file is placed in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace dekvanto::platform {

// The directory of the running program file (/proc/self/exe, GetModuleFileNameA), absolute;
// nothing when the system does not tell.
std::optional<std::filesystem::path> RunningProgramDirectory();

#if !defined(_WIN32)
// Whether this process may make files in folder dir: the system lets it write there, and so do
// the write rules (write_rules.h: root only into a folder of its own).
bool MayMakeFilesIn(const std::filesystem::path &dir);

// Whether the process runs as root (effective user 0).
bool RunsAsAdministrator();

// Root's home folder as the password database gives it (usually /root); nothing when it gives
// none.
std::optional<std::string> AdministratorHome();
#endif

}  // namespace dekvanto::platform
