#include "core/settings/setting_values.h"

namespace dekvanto::core {

std::optional<int32_t> SettingValues::IndexOfWord(std::string_view word) const {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].word == word) {
            return static_cast<int32_t>(i);
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> SettingValues::WordAt(int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= values.size()) {
        return std::nullopt;
    }
    return values[static_cast<std::size_t>(index)].word;
}

std::vector<std::string> SettingValues::Words() const {
    std::vector<std::string> words;
    for (const SettingValue &value : values) {
        words.emplace_back(value.word);
    }
    return words;
}

}  // namespace dekvanto::core
