// The settings file "MX40.ini" as this platform reads and writes it.
//
// On Windows every read and write goes through the system's private-profile calls
// (private_profile_store.h), as every other Windows program that shares the file expects. Elsewhere
// IniFile (ini_file.h) keeps the same format and rules. Both read and write one key at a time, so
// each write reaches the disk at once and an edit made by hand counts at the next read.
#pragma once

#include <filesystem>
#include <memory>

#include "core/settings/settings_store.h"

namespace dekvanto::core {

// The store over the settings file at path. A relative path is taken from the working directory
// now (the private-profile calls would look for a bare name in the Windows folder).
std::unique_ptr<SettingsStore> OpenSettingsFile(const std::filesystem::path &path);

}  // namespace dekvanto::core
