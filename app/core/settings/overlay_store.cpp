#include "core/settings/overlay_store.h"

#include <cctype>

namespace dekvanto::core {

std::string OverlayStore::Name(std::string_view section, std::string_view key) {
    std::string name;
    for (const char c : section) {
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    name += '\n';
    for (const char c : key) {
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

std::string OverlayStore::ReadText(std::string_view section, std::string_view key,
                                   std::string_view fallback) {
    if (const auto found = texts_.find(Name(section, key)); found != texts_.end()) {
        return found->second;
    }
    if (const auto found = integers_.find(Name(section, key)); found != integers_.end()) {
        return std::to_string(found->second);
    }
    return file_ ? file_->ReadText(section, key, fallback) : std::string(fallback);
}

int32_t OverlayStore::ReadInt(std::string_view section, std::string_view key, int32_t fallback) {
    if (const auto found = integers_.find(Name(section, key)); found != integers_.end()) {
        return found->second;
    }
    return file_ ? file_->ReadInt(section, key, fallback) : fallback;
}

void OverlayStore::WriteText(std::string_view section, std::string_view key,
                             std::string_view value) {
    integers_.erase(Name(section, key));
    texts_[Name(section, key)] = std::string(value);
}

void OverlayStore::WriteInt(std::string_view section, std::string_view key, int32_t value) {
    texts_.erase(Name(section, key));
    integers_[Name(section, key)] = value;
}

}  // namespace dekvanto::core
