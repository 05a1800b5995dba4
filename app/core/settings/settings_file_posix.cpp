#include <filesystem>
#include <memory>
#include <system_error>

#include "core/settings/ini_file.h"
#include "core/settings/settings_file.h"

namespace dekvanto::core {

std::unique_ptr<SettingsStore> OpenSettingsFile(const std::filesystem::path &path) {
    if (path.empty()) {
        return std::make_unique<IniFile>(path);  // no settings file: defaults, writes lost
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return std::make_unique<IniFile>(error ? path : absolute);
}

}  // namespace dekvanto::core
