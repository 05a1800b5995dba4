// The files the main window reads beside the program, as the window tests lay them out: a
// product list of two phones ("Even phone", flags 0, 16-bit bus, 2 wait states; "Odd phone",
// flags 3, 8-bit bus, 1 wait state; both with loader.bin) and a version file of version text
// A-000-12-07 (release 1.2).
#pragma once

#include "core/products/version_file.h"
#include "support/temp_folder.h"

namespace dekvanto::core {

inline void WriteWindowFiles(const TempFolder &folder) {
    folder.Write("dekvanto.cfg",
                 "\"Even phone\" loader.bin 16 2 0\n"
                 "\"Odd phone\"  loader.bin  8 1 3   # takes a personalization file\n");
    folder.Write("DEKVANTO.VRS", VersionFileBytes("A-000-12-07", "", ""));
}

}  // namespace dekvanto::core
