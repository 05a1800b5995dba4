#include "core/download/engine_library.h"

namespace dekvanto::core {
namespace {

// The exported function as its typed pointer (the system's look-up hands out a generic one).
template <typename Function>
Function As(void *symbol) {
    return reinterpret_cast<Function>(symbol);
}

}  // namespace

std::unique_ptr<EngineLibrary> EngineLibrary::Load(const std::filesystem::path &path) {
    if (!path.is_absolute()) {
        return nullptr;
    }
    std::optional<platform::LoadedLibrary> library = platform::LoadedLibrary::Load(path);
    if (!library) {
        return nullptr;
    }
    return std::unique_ptr<EngineLibrary>(new EngineLibrary(std::move(*library)));
}

void *EngineLibrary::Find(const char *name) const {
    return library_.Find(name);
}

std::optional<int32_t> EngineLibrary::Init(int32_t value) {
    auto function = As<Mxl40_Init_Fn>(Find("Mxl40_Init"));
    if (function == nullptr) {
        return std::nullopt;
    }
    return function(value);
}

std::optional<int32_t> EngineLibrary::StartStop(int32_t value) {
    auto function = As<Mxl40_StartStop_Fn>(Find("Mxl40_StartStop"));
    if (function == nullptr) {
        return std::nullopt;
    }
    return function(value);
}

std::optional<int32_t> EngineLibrary::CheckMapCompat(const char *code_path,
                                                     const char *perso_path) {
    auto function = As<CheckMapCompat_Fn>(Find("CheckMapCompat"));
    if (function == nullptr) {
        return std::nullopt;
    }
    return function(code_path, perso_path);
}

std::optional<int32_t> EngineLibrary::Download(Mx40WindowHandle window, Mx40Settings *settings,
                                               const Mx40Files *files, const Mx40Options *options) {
    auto function = As<Mxl40_Download_Fn>(Find("Mxl40_Download"));
    if (function == nullptr) {
        return std::nullopt;
    }
    return function(window, settings, files, options);
}

}  // namespace dekvanto::core
