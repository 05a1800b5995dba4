// Where one run of the tool reads and writes: the process's standard streams, or a test's.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "core/download/engine.h"
#include "core/settings/program_folder.h"

namespace dekvanto::cli {

struct Console {
    std::ostream &out;
    std::ostream &err;
    // Answers to step-mode prompts (Enter).
    std::istream &in;
    // The descriptor behind in when it is the process's standard input (0), else -1. A prompt
    // then waits on it together with Ctrl-C.
    int in_descriptor = -1;
    // Standard output is a terminal: progress is drawn as a bar instead of plain lines.
    bool terminal = false;
    // The terminal's width in characters when standard output is one, else 0: the progress bar
    // is cut to fit it.
    int columns = 0;
};

// What the tool runs with besides its arguments.
struct Context {
    // The engine library; empty: MX40_LIBRARY_FILE_NAME in the program's own directory.
    std::filesystem::path engine_library;
    // The program started once per station; empty: this program (/proc/self/exe).
    std::filesystem::path program;
    // An engine to download with in place of the library (a test's); null: the library.
    dekvanto::core::Engine *engine = nullptr;

    // The files of the running program, with engine_library in place of its own when given.
    dekvanto::core::ProgramFiles Files() const {
        dekvanto::core::ProgramFiles files = dekvanto::core::FilesOfRunningProgram();
        if (!engine_library.empty()) {
            files.engine_library = engine_library;
        }
        return files;
    }
};

}  // namespace dekvanto::cli
