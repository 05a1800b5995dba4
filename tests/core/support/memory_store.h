// A settings store held in memory, for tests of the rules that read and write settings.
//
// Names match without regard to ASCII case, as in the settings file; integers are read with the
// file's own rule (IniInteger), so "12abc" reads as 12 and an empty value gives the default.
// Every call is recorded in order, so a test can check which keys were read or written, and when.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/settings/settings_store.h"

namespace dekvanto::core {

class MemoryStore final : public SettingsStore {
  public:
    // One call of the store: a write ("WriteText"/"WriteInt" with the text that was stored) or
    // a read ("ReadText"/"ReadInt", value empty).
    struct Access {
        std::string operation;
        std::string section;
        std::string key;
        std::string value;

        bool operator==(const Access &) const = default;
        friend std::ostream &operator<<(std::ostream &out, const Access &access) {
            return out << access.operation << " [" << access.section << "] " << access.key << "="
                       << access.value;
        }
    };

    MemoryStore() = default;
    // A store already holding these values: {section, key, value} each.
    MemoryStore(std::initializer_list<std::vector<std::string>> values);

    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view fallback) override;
    int32_t ReadInt(std::string_view section, std::string_view key, int32_t fallback) override;
    void WriteText(std::string_view section, std::string_view key, std::string_view value) override;
    void WriteInt(std::string_view section, std::string_view key, int32_t value) override;
    std::optional<std::string> TakeUnsavedReason() override { return std::exchange(unsaved, {}); }

    // What the next TakeUnsavedReason gives: a write the disk refused.
    std::optional<std::string> unsaved;

    // Stores a value without recording it (set-up of a test).
    void Preset(std::string_view section, std::string_view key, std::string_view value);
    // The stored value, or nothing when the key was never stored.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // The writes since the start (or the last ClearLog), in order.
    std::vector<Access> Writes() const;
    // Every read and write since the start (or the last ClearLog), in order.
    const std::vector<Access> &Log() const { return log_; }
    void ClearLog() { log_.clear(); }

  private:
    using Name = std::pair<std::string, std::string>;  // section and key, lower case
    static Name NameOf(std::string_view section, std::string_view key);

    std::map<Name, std::string> values_;
    std::vector<Access> log_;
};

}  // namespace dekvanto::core
