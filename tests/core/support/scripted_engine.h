// An engine whose functions can be taken away and whose download is a script: it records every
// call with copies of what it was given, and runs the test's script in place of a download.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/download/engine.h"

namespace dekvanto::core {

// One call of Mxl40_Download as the engine saw it.
struct DownloadCall {
    Mx40WindowHandle window = nullptr;
    Mx40Settings settings{};
    std::optional<std::string> loader, code, perso;  // nothing for a null path
    Mx40Options options{};
};

class ScriptedEngine final : public Engine {
  public:
    std::optional<int32_t> Init(int32_t value) override;
    std::optional<int32_t> StartStop(int32_t value) override;
    std::optional<int32_t> CheckMapCompat(const char *code_path, const char *perso_path) override;
    std::optional<int32_t> Download(Mx40WindowHandle window, Mx40Settings *settings,
                                    const Mx40Files *files, const Mx40Options *options) override;

    // Which functions the library exports.
    bool has_init = true, has_start_stop = true, has_map_check = true, has_download = true;
    // CheckMapCompat's answer.
    int32_t map_result = MX40_MAP_COMPATIBLE;
    // The download; by default it returns '2' at once. It may use the window (send, pump) and
    // read the file record while it runs.
    std::function<int32_t(Mx40Window &window, const Mx40Files &files)> script;

    std::vector<int32_t> init_calls;
    std::vector<int32_t> start_stop_calls;
    std::vector<std::pair<std::string, std::string>> map_checks;
    std::vector<DownloadCall> downloads;
    int running = 0;  // the engine's running flag as StartStop and Download leave it
};

}  // namespace dekvanto::core
