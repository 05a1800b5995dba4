// The download engine as the application sees it: the four exported functions of the engine
// library, each found by its name at the moment it is called.
//
// Every call looks its function up afresh; nothing is cached between calls. A function that the
// library does not export gives no result (std::nullopt) and nothing is called, so the caller can
// show its message for that function. Front ends use EngineLibrary (engine_library.h); tests
// script their own engine.
#pragma once

#include <cstdint>
#include <optional>

#include "dekvanto/mx40.h"

namespace dekvanto::core {

class Engine {
  public:
    virtual ~Engine() = default;

    // Mxl40_Init(value): the value back, or nothing when the function is missing.
    virtual std::optional<int32_t> Init(int32_t value) = 0;
    // Mxl40_StartStop(value): the value back, or nothing when the function is missing.
    virtual std::optional<int32_t> StartStop(int32_t value) = 0;
    // CheckMapCompat(code, perso): one of MX40_MAP_*, or nothing when the function is missing.
    virtual std::optional<int32_t> CheckMapCompat(const char *code_path,
                                                  const char *perso_path) = 0;
    // Mxl40_Download(window, settings, files, options): the whole 32-bit result, or nothing when
    // the function is missing. Runs the whole download; the window's events run inside it.
    virtual std::optional<int32_t> Download(Mx40WindowHandle window, Mx40Settings *settings,
                                            const Mx40Files *files, const Mx40Options *options) = 0;
};

}  // namespace dekvanto::core
