#include "core/linedb/libpq_calls.h"

#include <optional>

#include "dekvanto/platform/loaded_library.h"

#ifndef DEKVANTO_LIBPQ_FILE
#define DEKVANTO_LIBPQ_FILE "libpq.so.5"
#endif

namespace dekvanto::core {
namespace {

struct Loaded {
    std::optional<platform::LoadedLibrary> library;
    LibpqCalls calls;
    std::string error;  // "" once every function was found
};

Loaded LoadAll() {
    Loaded loaded;
    loaded.library = platform::LoadedLibrary::Load(DEKVANTO_LIBPQ_FILE);
    if (!loaded.library) {
        loaded.error = "the database client library " + std::string(DEKVANTO_LIBPQ_FILE) +
                       " cannot be loaded (on Debian: apt-get install libpq5)";
        return loaded;
    }
#define DEKVANTO_LIBPQ_FIND(name)                                                                 \
    loaded.calls.name = reinterpret_cast<decltype(&::name)>(loaded.library->Find(#name));         \
    if (!loaded.calls.name && loaded.error.empty()) {                                             \
        loaded.error =                                                                            \
            "the database client library " + std::string(DEKVANTO_LIBPQ_FILE) + " has no " #name; \
    }
    DEKVANTO_LIBPQ_CALLS(DEKVANTO_LIBPQ_FIND)
#undef DEKVANTO_LIBPQ_FIND
    return loaded;
}

// Loaded for the life of the process and never unloaded, not even at its exit: what libpq left
// behind (a connection a thread still holds, the memory it handed out) stays valid to the end,
// and a leak checker scanning memory at exit finds no unloaded library under it.
const Loaded &Once() {
    static const Loaded *const loaded = new Loaded(LoadAll());
    return *loaded;
}

}  // namespace

const LibpqCalls *LoadLibpq(std::string &why) {
    const Loaded &loaded = Once();
    if (!loaded.error.empty()) {
        why = loaded.error;
        return nullptr;
    }
    return &loaded.calls;
}

const LibpqCalls &Libpq() {
    return Once().calls;
}

}  // namespace dekvanto::core
