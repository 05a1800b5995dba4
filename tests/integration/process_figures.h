// How long the long runs are, and whether this build's memory figures can prove anything.
#pragma once

#include <cstdlib>

#include "support/process_figures.h"

namespace integration {

using dekvanto::app::ProcessFigures;

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

}  // namespace integration
