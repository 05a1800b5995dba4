#include "dekvanto/platform/loaded_library.h"

#include <dlfcn.h>

namespace dekvanto::platform {

std::optional<LoadedLibrary> LoadedLibrary::Load(const std::filesystem::path &path) {
    void *module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        return std::nullopt;
    }
    return LoadedLibrary(module);
}

void LoadedLibrary::Unload() {
    if (module_ != nullptr) {
        ::dlclose(module_);
        module_ = nullptr;
    }
}

void *LoadedLibrary::Find(const char *name) const {
    return ::dlsym(module_, name);
}

}  // namespace dekvanto::platform
