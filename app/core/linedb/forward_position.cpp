#include "core/linedb/forward_position.h"

#include <nlohmann/json.hpp>

#include "dekvanto/platform/whole_file.h"

namespace dekvanto::core {

std::optional<ForwardPosition> LoadForwardPosition(const std::string &path) {
    const std::optional<std::string> text = platform::ReadWholeFile(path);
    if (!text) {
        return std::nullopt;
    }
    const nlohmann::json json = nlohmann::json::parse(*text, nullptr, false);
    const auto number = [&json](const char *key) -> std::optional<uint64_t> {
        if (!json.is_object() || !json.contains(key) || !json[key].is_number_unsigned()) {
            return std::nullopt;
        }
        return json[key].get<uint64_t>();
    };
    const auto volume = number("volume"), file = number("file"), offset = number("offset"),
               line = number("line");
    if (!volume || !file || !offset || !line || *line == 0) {
        return std::nullopt;
    }
    return ForwardPosition{{*volume, *file}, {*offset, *line}};
}

bool SaveForwardPosition(const std::string &path, const ForwardPosition &position,
                         std::string &why) {
    const nlohmann::json json = {{"volume", position.file.volume},
                                 {"file", position.file.file},
                                 {"offset", position.position.offset},
                                 {"line", position.position.line}};
    std::error_code error;
    if (!platform::ReplaceWholeFile(path, json.dump() + "\n", error)) {
        why = error.message();
        return false;
    }
    return true;
}

std::string DefaultPositionFile(const std::string &record_file) {
    return record_file + ".forwarded";
}

}  // namespace dekvanto::core
