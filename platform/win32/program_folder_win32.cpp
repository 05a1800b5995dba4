#include <windows.h>

#include <string>

#include "dekvanto/platform/program_folder.h"

namespace dekvanto::platform {

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

}  // namespace dekvanto::platform
