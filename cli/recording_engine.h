// The engine as the download control calls it, noting the results that decide the tool's exit
// status: the mapping check's and the download's, and how long the download ran.
#pragma once

#include <chrono>
#include <optional>

#include "core/engine.h"

namespace dekvanto::cli {

class RecordingEngine final : public dekvanto::app::Engine {
  public:
    explicit RecordingEngine(dekvanto::app::Engine &engine) : engine_(engine) {}

    std::optional<int32_t> map_check;
    std::optional<int32_t> download;
    double download_seconds = 0;

    std::optional<int32_t> Init(int32_t value) override { return engine_.Init(value); }
    std::optional<int32_t> StartStop(int32_t value) override { return engine_.StartStop(value); }
    std::optional<int32_t> CheckMapCompat(const char *code, const char *perso) override {
        map_check = engine_.CheckMapCompat(code, perso);
        return map_check;
    }
    std::optional<int32_t> Download(Mx40WindowHandle window, Mx40Settings *settings,
                                    const Mx40Files *files, const Mx40Options *options) override {
        const auto start = std::chrono::steady_clock::now();
        download = engine_.Download(window, settings, files, options);
        download_seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return download;
    }

  private:
    dekvanto::app::Engine &engine_;
};

}  // namespace dekvanto::cli
