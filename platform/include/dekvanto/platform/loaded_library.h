// A shared library loaded at run time (dlopen, LoadLibraryA), for as long as the object lives.
#pragma once

#include <filesystem>
#include <optional>

namespace dekvanto::platform {

class LoadedLibrary {
  public:
    // Loads the library file at path, which the caller gives in full: a bare name would let the
    // system's library search find another file of that name. Nothing when it cannot be loaded,
    // for whatever reason; nothing is reported. On Windows a file that is no library (or one
    // built for another machine) raises no system box about a bad image or a missing dependency.
    static std::optional<LoadedLibrary> Load(const std::filesystem::path &path);

    LoadedLibrary(LoadedLibrary &&other) noexcept;
    LoadedLibrary &operator=(LoadedLibrary &&other) noexcept;
    LoadedLibrary(const LoadedLibrary &) = delete;
    LoadedLibrary &operator=(const LoadedLibrary &) = delete;
    // Unloads the library.
    ~LoadedLibrary();

    // The address of the exported symbol of that name, or null.
    void *Find(const char *name) const;

  private:
    explicit LoadedLibrary(void *module) : module_(module) {}
    void Unload();

    // The dlopen handle or the HMODULE; null once moved from.
    void *module_;
};

}  // namespace dekvanto::platform
