// The three files of a test download and the phone the harness attached, as the Windows side
// sees them.
#pragma once

#include <cstdint>
#include <string>

namespace dekvanto::wintest {

struct DownloadFiles {
    std::string folder;               // Windows path, ending in a backslash
    std::string loader, code, perso;  // "" for a file not written (size 0)
    uint32_t total = 0;               // all three sizes together
};

// Writes loader.bin, code.bin and perso.bin of these sizes (0: that file is left out) with a
// fixed pseudo-random content. They go into the phone's work folder when the harness gave one
// (it compares them with what the phone received), else into a folder of their own under the
// temporary folder.
DownloadFiles WriteDownloadFiles(uint32_t loader, uint32_t code, uint32_t perso);

// The COM number of the simulated phone that the harness attached, or 0 for none.
int PhoneCom();

// A Unix path as Wine's Windows programs reach it: "Z:" and the path with backslashes.
std::string WindowsPathOfUnixPath(const std::string &unix_path);

}  // namespace dekvanto::wintest
