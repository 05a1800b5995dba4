#include "core/settings/ini_file.h"

#include <optional>
#include <string>
#include <utility>

#include "core/settings/ini_text.h"
#include "dekvanto/platform/whole_file.h"

namespace dekvanto::core {

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    const std::optional<std::string> text = platform::ReadWholeFile(path_);
    if (!text) {
        return std::nullopt;
    }
    return FindIniValue(*text, section, key);
}

std::string IniFile::ReadText(std::string_view section, std::string_view key,
                              std::string_view fallback) {
    std::optional<std::string> value = Find(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

int32_t IniFile::ReadInt(std::string_view section, std::string_view key, int32_t fallback) {
    const std::optional<std::string> value = Find(section, key);
    return value ? IniInteger(*value, fallback) : fallback;
}

void IniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
    std::error_code error;
    std::optional<std::string> text = platform::ReadWholeFile(path_, error);
    if (!text) {
        if (error != std::errc::no_such_file_or_directory) {
            // An unreadable file must not be replaced by one holding only this key.
            return Unsaved("it cannot be read: " + error.message());
        }
        text.emplace();
    }
    if (!IsStorableIniName(section, true) || !IsStorableIniName(key, false) ||
        !IsStorableIniValue(value)) {
        return Unsaved("the value of " + std::string(key) + " cannot be stored on one line");
    }
    const std::optional<std::string> changed = IniTextWithValue(*text, section, key, value);
    if (changed && !platform::ReplaceWholeFile(path_, *changed, error)) {
        Unsaved(error.message());
    }
}

void IniFile::Unsaved(const std::string &reason) {
    unsaved_ = "settings not saved in " + path_.string() + ": " + reason;
}

std::optional<std::string> IniFile::TakeUnsavedReason() {
    return std::exchange(unsaved_, std::nullopt);
}

void IniFile::WriteInt(std::string_view section, std::string_view key, int32_t value) {
    WriteText(section, key, std::to_string(value));
}

}  // namespace dekvanto::core
