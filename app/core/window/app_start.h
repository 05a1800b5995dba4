// Start-up of DEKVANTO without widgets: everything a front end needs before it shows its main
// window, or the reason why the program must end instead.
//
//   StartUp start = StartApplication();
//   if (!start.engine) { if (!start.end_message.empty()) show it; return; }
//   ... run the main window with start.files and *start.engine ...
//   // the engine library is released when start goes out of scope, after the window has closed
//
// Steps, in this order: find the program directory; name the files from it and decide where the
// settings file lives (program_folder.h); raise the thread's priority; check that the engine
// library exists in the program directory (else the program ends with "Sorry <library file name>
// doesn't exist !"); load it by its full path (a library that exists but does not load ends the
// program without a message). No engine function is looked up here. The command line is not read.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/download/engine_library.h"
#include "core/settings/program_folder.h"

namespace dekvanto::core {

struct StartUp {
    ProgramFiles files;
    // The loaded engine; null when the program must end.
    std::unique_ptr<EngineLibrary> engine;
    // When engine is null: the message box text to show before ending, or empty to end silently.
    std::string end_message;
};

// Start-up for the running program (its directory from the system).
StartUp StartApplication();

// Start-up for a program lying in directory dir, with the settings file placed by place. The
// program directory's files, the priority and the library are handled as above.
StartUp StartApplicationIn(const std::filesystem::path &dir, const SettingsPlace &place);

}  // namespace dekvanto::core
