// One download of real files by the real engine library, through its C interface, into the
// simulated phone over a pseudo-terminal; the window is played by the test.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dekvanto/mx40.h"
#include "sim/phone_simulator.h"

namespace dekvanto::integration {

using Bytes = std::vector<uint8_t>;

// The test's window: keeps every message, answers message boxes at once.
struct TestWindow {
    std::vector<uint32_t> messages;
    std::vector<std::string> log_lines;
    std::vector<uintptr_t> byte_counts;
    std::vector<std::string> boxes;
    int progress_steps = 0;
    int pumps = 0;
    // Runs at every dispatch of events; returns 1 for a quit request.
    std::function<int32_t(TestWindow &)> on_pump;
    Mx40Window record{};

    TestWindow();
};

struct SessionFiles {
    std::filesystem::path dir;
    std::filesystem::path loader;
    std::filesystem::path code;
    std::filesystem::path perso;
    Bytes loader_bytes;
    Bytes code_bytes;
    Bytes perso_bytes;
};

// Writes a loader, code file and personalization file of these sizes (0: no such file) into a
// fresh temporary directory.
SessionFiles MakeFiles(uint32_t loader_size, uint32_t code_size, uint32_t perso_size);

struct SessionResult {
    int32_t result = 0;
    dekvanto::sim::Summary summary;
    int descriptors_before = 0;
    int descriptors_after = 0;
};

// The records of a download with everything switched on, for the phone's port.
struct DownloadRecords {
    Mx40Settings settings{0, 0, 1, 1, 0, 0, 0};
    Mx40Files files{nullptr, nullptr, nullptr};
    Mx40Options options{0, 0, 1, 1};
};

// Runs the phone and one download; the phone's port goes into settings.Port.
SessionResult RunSession(dekvanto::sim::PhoneConfig phone, DownloadRecords &records,
                         TestWindow *window);

// A private port register for this test process.
void UsePrivatePortRegister();

int OpenDescriptors();

}  // namespace dekvanto::integration
