#include "download_rig.h"

#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <iterator>

namespace dekvanto::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kSessionBound{120};

Bytes FileBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A file of the set that is left out: gone from the folder, its path cleared and no bytes.
Bytes LeaveOut(fs::path &path) {
    fs::remove(path);
    path.clear();
    return {};
}

}  // namespace

PhoneRun WithPhone(const sim::PhoneConfig &config,
                   const std::function<void(sim::PhoneSimulator &)> &attempt) {
    PhoneRun run;
    sim::PhoneSimulator phone(config);
    if (!phone.Start()) {
        run.setup_error = "the phone could not be set up: " + phone.SetupError();
        run.summary.errors.push_back(run.setup_error);
        return run;
    }
    attempt(phone);
    run.summary = phone.Finish(kSessionBound);
    return run;
}

DownloadRig::DownloadRig(SampleSizes sizes) {
    ::setenv("DEKVANTO_PORTS", (folder / "ports").c_str(), 1);
    UseFiles(sizes);
    phone.expect.bit_rate = 115200;
    phone.idle_timeout_ms = 600000;
}

void DownloadRig::UseFiles(SampleSizes sizes) {
    files = WriteSamples("files", sizes);
}

SampleFiles DownloadRig::WriteSamples(const std::string &name, SampleSizes sizes) const {
    image::SampleSetLayout layout;
    layout.loader_size = sizes.loader;
    layout.code_size = sizes.code;
    layout.perso_size = sizes.perso;
    SampleFiles set;
    static_cast<image::SampleSetPaths &>(set) = image::WriteSampleSet(folder / name, layout);
    set.loader_bytes = FileBytes(set.loader);
    set.code_bytes = sizes.code != 0 ? FileBytes(set.code) : LeaveOut(set.code);
    set.perso_bytes = sizes.perso != 0 ? FileBytes(set.perso) : LeaveOut(set.perso);
    return set;
}

}  // namespace dekvanto::testing
