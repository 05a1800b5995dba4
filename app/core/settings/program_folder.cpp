#include "core/settings/program_folder.h"

#include "core/settings/path_text.h"
#include "dekvanto/mx40.h"
#include "dekvanto/platform/program_folder.h"

namespace dekvanto::core {
namespace {

// The user's configuration base folder, or nothing when the environment names none.
std::optional<std::filesystem::path> UserConfigFolder(const SettingsPlace &place) {
    if (place.xdg_config_home && !place.xdg_config_home->empty() &&
        std::filesystem::path(*place.xdg_config_home).is_absolute()) {
        return std::filesystem::path(*place.xdg_config_home);
    }
    if (place.home && !place.home->empty()) {
        return std::filesystem::path(*place.home) / ".config";
    }
    return std::nullopt;
}

}  // namespace

std::string ProgramFiles::ProgramDirectoryText() const {
    return PathInFolder(directory.string(), "");
}

std::filesystem::path ProgramFiles::LoaderFile(const std::string &loader_file_name) const {
    return PathInFolder(directory.string(), loader_file_name);
}

std::filesystem::path SettingsFileFor(const std::filesystem::path &dir,
                                      const SettingsPlace &place) {
    if (!place.program_directory_writable) {
        if (const auto config = UserConfigFolder(place)) {
            return *config / "dekvanto" / kSettingsFileName;
        }
        if (place.administrator) {
            SettingsPlace own;
            own.home = place.account_home;
            const auto config = UserConfigFolder(own);
            return config ? *config / "dekvanto" / kSettingsFileName : std::filesystem::path();
        }
    }
    return dir / kSettingsFileName;
}

ProgramFiles FilesOfProgramDirectory(const std::filesystem::path &dir, const SettingsPlace &place) {
    ProgramFiles files;
    files.directory = dir;
    files.settings_file = SettingsFileFor(dir, place);
    files.engine_library = dir / MX40_LIBRARY_FILE_NAME;
    files.product_list = dir / kProductListFileName;
    files.version_file = dir / kVersionFileName;
    return files;
}

ProgramFiles FilesOfRunningProgram() {
    const std::filesystem::path dir =
        platform::RunningProgramDirectory().value_or(std::filesystem::current_path());
    return FilesOfProgramDirectory(dir, ObserveSettingsPlace(dir));
}

}  // namespace dekvanto::core
