#include <windows.h>

#include <string>
#include <system_error>

#include "core/settings/program_folder.h"

namespace dekvanto::core {

std::optional<std::filesystem::path> RunningProgramDirectory() {
    // GetModuleFileNameA cuts a name that does not fit and says so only by filling the buffer.
    for (DWORD size = MAX_PATH;; size *= 2) {
        std::string buffer(size, '\0');
        const DWORD got = ::GetModuleFileNameA(nullptr, buffer.data(), size);
        if (got == 0) {
            return std::nullopt;
        }
        if (got < size) {
            buffer.resize(got);
            const std::filesystem::path program(buffer);
            if (!program.is_absolute()) {
                return std::nullopt;
            }
            return program.parent_path();
        }
        if (size >= 32768) {
            return std::nullopt;
        }
    }
}

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
