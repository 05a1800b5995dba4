// The engine library, loaded at run time from the program directory.
//
// The library is loaded by its full path, never by bare name: a bare name would let the system's
// library search find another file of that name (one planted on the search path, or an older
// install). It stays loaded as long as the EngineLibrary object lives; the application keeps it
// until its main window has closed.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "core/download/engine.h"
#include "dekvanto/platform/loaded_library.h"

namespace dekvanto::core {

class EngineLibrary final : public Engine {
  public:
    // Loads the library file at path (an absolute path). Null when it cannot be loaded, for
    // whatever reason; nothing is reported.
    static std::unique_ptr<EngineLibrary> Load(const std::filesystem::path &path);

    ~EngineLibrary() override = default;
    EngineLibrary(const EngineLibrary &) = delete;
    EngineLibrary &operator=(const EngineLibrary &) = delete;

    std::optional<int32_t> Init(int32_t value) override;
    std::optional<int32_t> StartStop(int32_t value) override;
    std::optional<int32_t> CheckMapCompat(const char *code_path, const char *perso_path) override;
    std::optional<int32_t> Download(Mx40WindowHandle window, Mx40Settings *settings,
                                    const Mx40Files *files, const Mx40Options *options) override;

    // The exported function of that name, or null. For exports beyond the four (the byte trace)
    // and for callers that must hold the address beforehand: a signal handler may not look a
    // name up, so a command-line tool takes Mxl40_StartStop's address before the download.
    void *Find(const char *name) const;

  private:
    explicit EngineLibrary(platform::LoadedLibrary library) : library_(std::move(library)) {}

    platform::LoadedLibrary library_;
};

}  // namespace dekvanto::core
