// What both systems' loaded libraries share: the one module moves with its owner and is let go
// once, by the last one.
#include "dekvanto/platform/loaded_library.h"

#include <utility>

namespace dekvanto::platform {

LoadedLibrary::LoadedLibrary(LoadedLibrary &&other) noexcept
    : module_(std::exchange(other.module_, nullptr)) {}

LoadedLibrary &LoadedLibrary::operator=(LoadedLibrary &&other) noexcept {
    if (this != &other) {
        Unload();
        module_ = std::exchange(other.module_, nullptr);
    }
    return *this;
}

LoadedLibrary::~LoadedLibrary() {
    Unload();
}

}  // namespace dekvanto::platform
