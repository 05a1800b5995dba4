#include <dlfcn.h>

#include "core/download/engine_library.h"

namespace dekvanto::core {

std::unique_ptr<EngineLibrary> EngineLibrary::Load(const std::filesystem::path &path) {
    if (!path.is_absolute()) {
        return nullptr;
    }
    void *module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<EngineLibrary>(new EngineLibrary(module));
}

EngineLibrary::~EngineLibrary() {
    ::dlclose(module_);
}

void *EngineLibrary::Find(const char *name) const {
    return ::dlsym(module_, name);
}

}  // namespace dekvanto::core
