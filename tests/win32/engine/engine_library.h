// DLL_MX40.DLL as a Win32 caller binds it: loaded by full path from the test program's folder,
// its functions looked up by their plain names.
#pragma once

#include <windows.h>

#include <string>

#include "dekvanto/mx40.h"

namespace dekvanto::wintest {

class EngineLibrary {
  public:
    EngineLibrary();
    ~EngineLibrary();
    EngineLibrary(const EngineLibrary &) = delete;
    EngineLibrary &operator=(const EngineLibrary &) = delete;

    // True when the library was loaded and every function below was found.
    bool Bound() const;
    const std::string &Path() const { return path_; }
    HMODULE Module() const { return module_; }

    Mxl40_Init_Fn init = nullptr;
    Mxl40_StartStop_Fn start_stop = nullptr;
    Mxl40_Download_Fn download = nullptr;
    CheckMapCompat_Fn check_map_compat = nullptr;
    Mxl40_SetTrace_Fn set_trace = nullptr;

  private:
    std::string path_;
    HMODULE module_ = nullptr;
};

// The folder of the running program, ending in a backslash.
std::string ProgramFolder();

}  // namespace dekvanto::wintest
