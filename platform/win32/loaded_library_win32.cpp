#include <windows.h>

#include "dekvanto/platform/loaded_library.h"

namespace dekvanto::platform {
namespace {

HMODULE ModuleOf(void *module) {
    return static_cast<HMODULE>(module);
}

}  // namespace

std::optional<LoadedLibrary> LoadedLibrary::Load(const std::filesystem::path &path) {
    DWORD previous_mode = 0;
    const bool quiet =
        ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_mode) != 0;
    // Given a full path, LoadLibraryA loads that file and no other of the same name.
    HMODULE module = ::LoadLibraryA(path.string().c_str());
    if (quiet) {
        ::SetThreadErrorMode(previous_mode, nullptr);
    }
    if (module == nullptr) {
        return std::nullopt;
    }
    return LoadedLibrary(module);
}

void LoadedLibrary::Unload() {
    if (module_ != nullptr) {
        ::FreeLibrary(ModuleOf(module_));
        module_ = nullptr;
    }
}

void *LoadedLibrary::Find(const char *name) const {
    return reinterpret_cast<void *>(::GetProcAddress(ModuleOf(module_), name));
}

}  // namespace dekvanto::platform
