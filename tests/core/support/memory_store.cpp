#include "support/memory_store.h"

#include "core/settings/ini_text.h"

namespace dekvanto::core {

MemoryStore::MemoryStore(std::initializer_list<std::vector<std::string>> values) {
    for (const std::vector<std::string> &value : values) {
        Preset(value.at(0), value.at(1), value.at(2));
    }
}

MemoryStore::Name MemoryStore::NameOf(std::string_view section, std::string_view key) {
    Name name{std::string(section), std::string(key)};
    for (std::string *text : {&name.first, &name.second}) {
        for (char &c : *text) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
    }
    return name;
}

std::string MemoryStore::ReadText(std::string_view section, std::string_view key,
                                  std::string_view fallback) {
    log_.push_back({"ReadText", std::string(section), std::string(key), ""});
    const auto found = values_.find(NameOf(section, key));
    return found != values_.end() ? found->second : std::string(fallback);
}

int32_t MemoryStore::ReadInt(std::string_view section, std::string_view key, int32_t fallback) {
    log_.push_back({"ReadInt", std::string(section), std::string(key), ""});
    const auto found = values_.find(NameOf(section, key));
    return found != values_.end() ? IniInteger(found->second, fallback) : fallback;
}

void MemoryStore::WriteText(std::string_view section, std::string_view key,
                            std::string_view value) {
    log_.push_back({"WriteText", std::string(section), std::string(key), std::string(value)});
    values_[NameOf(section, key)] = std::string(value);
}

void MemoryStore::WriteInt(std::string_view section, std::string_view key, int32_t value) {
    const std::string text = std::to_string(value);
    log_.push_back({"WriteInt", std::string(section), std::string(key), text});
    values_[NameOf(section, key)] = text;
}

void MemoryStore::Preset(std::string_view section, std::string_view key, std::string_view value) {
    values_[NameOf(section, key)] = std::string(value);
}

std::optional<std::string> MemoryStore::Value(std::string_view section,
                                              std::string_view key) const {
    const auto found = values_.find(NameOf(section, key));
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<MemoryStore::Access> MemoryStore::Writes() const {
    std::vector<Access> writes;
    for (const Access &access : log_) {
        if (access.operation.starts_with("Write")) {
            writes.push_back(access);
        }
    }
    return writes;
}

}  // namespace dekvanto::core
