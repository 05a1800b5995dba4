// A whole download on test doubles: the driver runs against a scripted phone that answers every
// frame the way a well-behaved phone does, unless a test overrides an answer.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dekvanto/mx40.h"
#include "fakes.h"
#include "interface/download_driver.h"
#include "interface/engine_state.h"

namespace dekvanto::engine::testing {

// The frames a phone tells apart, in the order they come.
enum class Frame {
    kTarget,
    kLine,
    kLoader,
    kLoaderEnd,
    kRequest,
    kCodeSize,
    kCode,
    kSum,
    kPersoSize,
    kPerso
};

class ScriptedDownload {
  public:
    ScriptedDownload();

    DownloadServices Services() { return {port, clock, window, file_source, state}; }
    int32_t Run() { return RunDownload(Services(), &settings, &files, &options); }

    // Puts content under a path, and the path into the file record's field.
    void SetLoader(std::vector<uint8_t> content);
    void SetCode(std::vector<uint8_t> content);
    void SetPerso(std::vector<uint8_t> content);

    // Replaces the phone's answer to the n-th frame (from 0) of a kind.
    void Answer(Frame kind, int n, std::vector<uint8_t> bytes) { overrides[{kind, n}] = bytes; }

    // The frames the engine wrote, with what each was taken for.
    struct SeenFrame {
        Frame kind;
        std::vector<uint8_t> bytes;
        uint32_t bit_rate;
    };
    std::vector<SeenFrame> frames;
    // Data bytes received per kind, reassembled from the blocks.
    std::vector<uint8_t> Received(Frame kind) const;
    int CountFrames(Frame kind) const;

    FakeClock clock;
    RecordingWindow window;
    ScriptedPort port{clock};
    FakeFiles file_source;
    EngineState state;
    Mx40Settings settings{2, 0, 1, 1, 0, 0, 0};
    Mx40Files files{"loader.bin", nullptr, nullptr};
    Mx40Options options{0, 0, 1, 1};
    std::map<std::pair<Frame, int>, std::vector<uint8_t>> overrides;

  private:
    void Respond(const std::vector<uint8_t> &bytes);
    Frame Classify(const std::vector<uint8_t> &bytes);
    void Queue(Frame kind, int n, std::vector<uint8_t> normal);

    int flags_ = 0;
    uint32_t code_left_ = 0;
    uint32_t perso_left_ = 0;
    std::map<Frame, int> counts_;
};

}  // namespace dekvanto::engine::testing
