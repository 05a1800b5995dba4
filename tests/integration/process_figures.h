// What a process holds at one moment, to prove that repeated work does not make it grow: open
// descriptors, resident memory, and the heap in use on the calling thread's arena. How long the
// long runs are, whether this build's memory figures can prove anything, and the loop that
// samples the process while a long run goes on.
#pragma once

#include <gtest/gtest.h>
#include <malloc.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace dekvanto::integration {

struct ProcessFigures {
    int descriptors = 0;
    long resident_kib = 0;  // VmRSS
    size_t heap_bytes = 0;  // in use on the main arena

    static ProcessFigures Now() {
        ProcessFigures figures = Of("self");
        figures.heap_bytes = mallinfo2().uordblks;
        return figures;
    }

    // The descriptors and resident memory of a process ("self" or its id), without its heap.
    static ProcessFigures Of(const std::string &process) {
        ProcessFigures figures;
        const std::filesystem::path proc = std::filesystem::path("/proc") / process;
        std::error_code error;
        for (std::filesystem::directory_iterator entry(proc / "fd", error), end;
             !error && entry != end; entry.increment(error)) {
            ++figures.descriptors;
        }
        std::ifstream status(proc / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmRSS:")) {
                figures.resident_kib = std::stol(line.substr(6));
            }
        }
        return figures;
    }
};

// Built with the address sanitizer, freed memory is held back in its quarantine: resident memory
// and the heap then say nothing about what the program keeps (the sanitizer's own leak check at
// the end of the process does), and every download is slower.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryFiguresTell = false;
#else
inline constexpr bool kMemoryFiguresTell = true;
#endif

// How many downloads a long run makes: 1000, or 300 under the address sanitizer, so that both
// builds' runs fit into CI; DEKVANTO_LONG_RUNS (above 100) sets another count.
inline int LongRunCount() {
    const char *text = std::getenv("DEKVANTO_LONG_RUNS");
    const int count = text != nullptr ? std::atoi(text) : 0;
    return count > 100 ? count : kMemoryFiguresTell ? 1000 : 300;
}

// The process after the 100th run and after the last one.
struct LongRunFigures {
    int runs = 0;
    ProcessFigures after_100;
    ProcessFigures after_all;
    double seconds = 0;
};

// Calls `one_run(run)` for run 1 to LongRunCount(), stopping at the first fatal failure, and
// samples the process after the 100th run and after the last. `settle()` is called before each
// sample, to let go of what the test itself keeps between runs.
template <typename OneRun, typename Settle>
LongRunFigures RunLong(OneRun one_run, Settle settle) {
    LongRunFigures figures;
    figures.runs = LongRunCount();
    const auto started = std::chrono::steady_clock::now();
    for (int run = 1; run <= figures.runs && !::testing::Test::HasFatalFailure(); ++run) {
        one_run(run);
        if (run == 100) {
            settle();
            figures.after_100 = ProcessFigures::Now();
        }
    }
    settle();
    figures.after_all = ProcessFigures::Now();
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return figures;
}

// No descriptor kept, and (where the figures tell) no memory: a run's files alone are 11 KiB, so
// keeping them, or anything of that size, on every run would pass these bounds many times over.
inline void ExpectNothingKept(const LongRunFigures &figures) {
    EXPECT_EQ(figures.after_all.descriptors, figures.after_100.descriptors);
    if (kMemoryFiguresTell) {
        EXPECT_LE(figures.after_all.resident_kib - figures.after_100.resident_kib, 1024);
        EXPECT_LE(static_cast<long>(figures.after_all.heap_bytes) -
                      static_cast<long>(figures.after_100.heap_bytes),
                  16 * 1024);
    }
}

// Prints the figures, naming each run by `noun` ("download", "attempt").
inline void PrintFigures(const LongRunFigures &figures, const char *noun) {
    std::cout << figures.runs << ' ' << noun << "s in " << figures.seconds << " s; after " << noun
              << " 100: " << figures.after_100.descriptors << " descriptors, "
              << figures.after_100.resident_kib << " KiB resident, " << figures.after_100.heap_bytes
              << " bytes of heap; after " << noun << ' ' << figures.runs << ": "
              << figures.after_all.descriptors << ", " << figures.after_all.resident_kib << " KiB, "
              << figures.after_all.heap_bytes << " bytes\n";
}

}  // namespace dekvanto::integration
