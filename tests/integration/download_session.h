// One download of real files by the real engine library, through its C interface, into the
// simulated phone over a pseudo-terminal (the files and the phone from download_rig.h); the window
// is played by the test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dekvanto/mx40.h"
#include "download_rig.h"

namespace dekvanto::integration {

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

    // Points the file record at the set's files (none for a file left out). The set's paths must
    // stay as they are until the download has returned.
    void UseFiles(const dekvanto::testing::SampleFiles &set);
};

// Runs the phone and one download; the phone's port goes into settings.Port.
SessionResult RunSession(dekvanto::sim::PhoneConfig phone, DownloadRecords &records,
                         TestWindow *window);

int OpenDescriptors();

}  // namespace dekvanto::integration
