#include "engine_library.h"

namespace dekvanto::wintest {
namespace {

template <typename Fn>
Fn Find(HMODULE module, const char *name) {
    if (module == nullptr) {
        return nullptr;
    }
    // Through the generic function type, which any function pointer may pass.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

EngineLibrary::EngineLibrary() : path_(ProgramFolder() + MX40_LIBRARY_FILE_NAME) {
    module_ = ::LoadLibraryA(path_.c_str());
    init = Find<Mxl40_Init_Fn>(module_, "Mxl40_Init");
    start_stop = Find<Mxl40_StartStop_Fn>(module_, "Mxl40_StartStop");
    download = Find<Mxl40_Download_Fn>(module_, "Mxl40_Download");
    check_map_compat = Find<CheckMapCompat_Fn>(module_, "CheckMapCompat");
    set_trace = Find<Mxl40_SetTrace_Fn>(module_, "Mxl40_SetTrace");
}

EngineLibrary::~EngineLibrary() {
    if (module_ != nullptr) {
        ::FreeLibrary(module_);
    }
}

bool EngineLibrary::Bound() const {
    return init && start_stop && download && check_map_compat && set_trace;
}

}  // namespace dekvanto::wintest
