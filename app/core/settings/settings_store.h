// The settings store: one INI-style file ("MX40.ini" in the program directory) read and written
// key by key, at the moment a value is needed or changes. Nothing is loaded or saved as a whole.
//
// The four operations are those of the platform's private-profile calls. A missing file or key
// gives the default; a write creates the file, the section and the key as needed and leaves every
// other line alone. Writes that cannot reach the disk are lost: the caller keeps its value in
// memory and goes on, and the store keeps why, for the window to say that a setting went unsaved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::core {

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    // The stored text of [section] key, or fallback when the file, the section or the key is
    // missing.
    virtual std::string ReadText(std::string_view section, std::string_view key,
                                 std::string_view fallback) = 0;
    // The stored value read as a decimal integer, or fallback when absent or empty.
    virtual int32_t ReadInt(std::string_view section, std::string_view key, int32_t fallback) = 0;
    // Stores text under [section] key.
    virtual void WriteText(std::string_view section, std::string_view key,
                           std::string_view value) = 0;
    // Stores the value as signed decimal text ("%d").
    virtual void WriteInt(std::string_view section, std::string_view key, int32_t value) = 0;
    // Why a write since the last call did not reach the disk ("settings not saved in <file>:
    // <reason>"), once; nothing when every write did, or when the store cannot tell.
    virtual std::optional<std::string> TakeUnsavedReason() { return std::nullopt; }
};

}  // namespace dekvanto::core
