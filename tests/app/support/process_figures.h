// What a process holds at one moment, to prove that repeated work does not make it grow: open
// descriptors, resident memory, and the heap in use on the calling thread's arena.
#pragma once

#include <malloc.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

namespace dekvanto::app {

struct ProcessFigures {
    int descriptors = 0;
    long resident_kib = 0;  // VmRSS
    size_t heap_bytes = 0;  // in use on the main arena

    static ProcessFigures Now() {
        ProcessFigures figures;
        for ([[maybe_unused]] const auto &entry :
             std::filesystem::directory_iterator("/proc/self/fd")) {
            ++figures.descriptors;
        }
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmRSS:")) {
                figures.resident_kib = std::stol(line.substr(6));
            }
        }
        figures.heap_bytes = mallinfo2().uordblks;
        return figures;
    }
};

}  // namespace dekvanto::app
