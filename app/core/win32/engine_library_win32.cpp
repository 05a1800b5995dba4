#include <windows.h>

#include "core/download/engine_library.h"

namespace dekvanto::core {
namespace {

HMODULE ModuleOf(void *module) {
    return static_cast<HMODULE>(module);
}

}  // namespace

std::unique_ptr<EngineLibrary> EngineLibrary::Load(const std::filesystem::path &path) {
    if (!path.is_absolute()) {
        return nullptr;
    }
    // A file that is no library (or one built for another machine) must end the program quietly:
    // no system box about a bad image or a missing dependency.
    DWORD previous_mode = 0;
    const bool quiet =
        ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_mode) != 0;
    // Given a full path, LoadLibraryA loads that file and no other of the same name.
    HMODULE module = ::LoadLibraryA(path.string().c_str());
    if (quiet) {
        ::SetThreadErrorMode(previous_mode, nullptr);
    }
    if (module == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<EngineLibrary>(new EngineLibrary(module));
}

EngineLibrary::~EngineLibrary() {
    ::FreeLibrary(ModuleOf(module_));
}

void *EngineLibrary::Find(const char *name) const {
    return reinterpret_cast<void *>(::GetProcAddress(ModuleOf(module_), name));
}

}  // namespace dekvanto::core
