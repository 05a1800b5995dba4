#include <system_error>

#include "core/settings/program_folder.h"

namespace dekvanto::core {

SettingsPlace ObserveSettingsPlace(const std::filesystem::path &) {
    // Windows programs keep "MX40.ini" beside the program file, whoever may write there.
    SettingsPlace place;
    place.program_directory_writable = true;
    return place;
}

void PrepareSettingsFolder(const ProgramFiles &files) {
    std::error_code ignored;
    std::filesystem::create_directories(files.settings_file.parent_path(), ignored);
}

}  // namespace dekvanto::core
