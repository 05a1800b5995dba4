// Fuzzes the settings file's reader and writer on a file text held in memory.
//
// Input: the file text. Every key of a small set of names is read, then written with a value cut
// from the input. A write must read back as the value it wrote, leave every other key of the set
// as it was, and be a no-op when repeated; a breach aborts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/settings/ini_text.h"

namespace {

using dekvanto::core::FindIniValue;
using dekvanto::core::IniInteger;
using dekvanto::core::IniTextWithValue;
using dekvanto::core::IsStorableIniValue;

constexpr std::pair<const char *, const char *> kKeys[] = {
    {"Setting", "COM"},
    {"setting", "Speed"},
    {"Setting", "Product"},
    {"Debug", "Pause"},
    {"PathOption", "AppFilePath"},
    {"S", "k"},
    {"a b", "x y"},
    {"New", "Key"},
};

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

using KeyValues = std::array<std::optional<std::string>, std::size(kKeys)>;

void CheckWrite(std::string_view text, const KeyValues &before, std::size_t written,
                std::string_view value) {
    const auto [section, key] = kKeys[written];
    const std::optional<std::string> changed = IniTextWithValue(text, section, key, value);
    if (!IsStorableIniValue(value)) {
        Require(!changed);
        return;
    }
    const std::string after = changed ? *changed : std::string(text);
    Require(FindIniValue(after, section, key) == value);
    Require(!IniTextWithValue(after, section, key, value));
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        if (i != written) {
            Require(FindIniValue(after, kKeys[i].first, kKeys[i].second) == before[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    KeyValues before;
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        before[i] = FindIniValue(text, kKeys[i].first, kKeys[i].second);
        if (before[i]) {
            IniInteger(*before[i], 7);
        }
    }
    const std::size_t written = size % std::size(kKeys);
    const std::string_view value = text.substr(size / 2, size / 4);
    CheckWrite(text, before, written, value);
    CheckWrite(text, before, written, "COM3");
    return 0;
}
