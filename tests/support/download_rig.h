// What the tests of whole downloads share, whatever front end they drive (the engine's interface,
// the download control, the window, the command-line tool): a folder of the test's own that holds
// the sample firmware and the port register where the simulated phones put their COM<n> links,
// and a phone started for one attempt.
//
//   dekvanto::testing::DownloadRig rig({1000, 20000, 1500});
//   const PhoneRun run = rig.RunAttempt([&](sim::PhoneSimulator &phone) {
//       ... download to "COM" + std::to_string(phone.PortNumber()) ...
//   });
//   ... run.summary: what the phone received and how its session ended ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dekvanto/firmware_image.h"
#include "sim/phone_simulator.h"
#include "support/temp_folder.h"

namespace dekvanto::testing {

using Bytes = std::vector<uint8_t>;

// Sizes of the sample loader, code file and personalization file. A code or personalization
// size of 0 leaves that file out.
struct SampleSizes {
    uint32_t loader = 1000;
    uint32_t code = 20000;
    uint32_t perso = 1500;
};

// A sample set that agrees under the mapping check: the paths, and the bytes as written. A file
// left out has an empty path and no bytes.
struct SampleFiles : image::SampleSetPaths {
    Bytes loader_bytes;
    Bytes code_bytes;
    Bytes perso_bytes;
};

// One phone's session around one attempt.
struct PhoneRun {
    // Not empty when the phone could not be set up; the attempt then did not run.
    std::string setup_error;
    sim::Summary summary;
};

// Starts a phone as `config` describes, runs `attempt` with it, and returns the phone's summary
// once its session has ended: a phone whose download went through or whose PC let go of the line
// ends by itself; a phone left waiting is stopped after a bound that only keeps a broken session
// from hanging the test.
PhoneRun WithPhone(const sim::PhoneConfig &config,
                   const std::function<void(sim::PhoneSimulator &)> &attempt);

class DownloadRig {
  public:
    // Makes the folder, points the port register ($DEKVANTO_PORTS) of this process into it and
    // writes the sample set of these sizes.
    explicit DownloadRig(SampleSizes sizes = {});

    // Writes a fresh sample set of these sizes in place of the last one.
    void UseFiles(SampleSizes sizes);
    // Writes another sample set into the folder's subfolder `name`, beside the rig's own.
    SampleFiles WriteSamples(const std::string &name, SampleSizes sizes) const;

    // An attempt with a phone as `phone` describes.
    PhoneRun RunAttempt(const std::function<void(sim::PhoneSimulator &)> &attempt) const {
        return WithPhone(phone, attempt);
    }

    core::TempFolder folder;
    SampleFiles files;
    // Expects the default download speed of 115200 bit/s and never gives up on the PC by itself:
    // its session ends with the download or when the PC lets go of the line, so a slow machine
    // cannot end one early.
    sim::PhoneConfig phone;
};

}  // namespace dekvanto::testing
