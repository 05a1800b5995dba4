#include "support/scripted_engine.h"

namespace dekvanto::core {
namespace {

std::optional<std::string> Copy(const char *text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

}  // namespace

std::optional<int32_t> ScriptedEngine::Init(int32_t value) {
    if (!has_init) {
        return std::nullopt;
    }
    init_calls.push_back(value);
    return value;
}

std::optional<int32_t> ScriptedEngine::StartStop(int32_t value) {
    if (!has_start_stop) {
        return std::nullopt;
    }
    start_stop_calls.push_back(value);
    if (value == 0 || value == 1) {
        running = value;
    }
    return value;
}

std::optional<int32_t> ScriptedEngine::CheckMapCompat(const char *code_path,
                                                      const char *perso_path) {
    if (!has_map_check) {
        return std::nullopt;
    }
    map_checks.emplace_back(code_path, perso_path);
    return map_result;
}

std::optional<int32_t> ScriptedEngine::Download(Mx40WindowHandle window, Mx40Settings *settings,
                                                const Mx40Files *files,
                                                const Mx40Options *options) {
    if (!has_download) {
        return std::nullopt;
    }
    DownloadCall call;
    call.window = window;
    call.settings = *settings;
    call.loader = Copy(files->LoadFilePath);
    call.code = Copy(files->AppFilePath);
    call.perso = Copy(files->PersoFilePath);
    call.options = *options;
    downloads.push_back(call);
    ++settings->Port;
    running = 1;
    return script ? script(*window, *files) : int32_t{MX40_RESULT_DONE};
}

}  // namespace dekvanto::core
