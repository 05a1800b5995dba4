#include "core/window/app_start.h"

#include <system_error>

#include "core/window/string_table.h"
#include "dekvanto/platform/program_folder.h"
#include "dekvanto/platform/thread_priority.h"

namespace dekvanto::core {

StartUp StartApplicationIn(const std::filesystem::path &dir, const SettingsPlace &place) {
    StartUp start;
    start.files = FilesOfProgramDirectory(dir, place);
    PrepareSettingsFolder(start.files);
    platform::RaiseThreadPriority();
    std::error_code error;
    if (!std::filesystem::exists(start.files.engine_library, error)) {
        start.end_message = AppString(StringId::kEngineLibraryMissing);
        return start;
    }
    start.engine = EngineLibrary::Load(start.files.engine_library);
    return start;
}

StartUp StartApplication() {
    const auto dir = platform::RunningProgramDirectory();
    if (!dir) {
        // Without its own directory the program cannot name the library it needs.
        StartUp start;
        start.end_message = AppString(StringId::kEngineLibraryMissing);
        return start;
    }
    return StartApplicationIn(*dir, ObserveSettingsPlace(*dir));
}

}  // namespace dekvanto::core
