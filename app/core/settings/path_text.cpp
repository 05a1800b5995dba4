#include "core/settings/path_text.h"

#include <filesystem>

namespace dekvanto::core {
namespace {

constexpr char kOwnSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

}  // namespace

bool IsPathSeparator(char c) {
    return c == '/' || c == kOwnSeparator;
}

std::string PathInFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !IsPathSeparator(path.back())) {
        path += kOwnSeparator;
    }
    path += name;
    return path;
}

std::string FolderOfPath(std::string_view path) {
    for (std::size_t at = path.size(); at > 0; --at) {
        if (IsPathSeparator(path[at - 1])) {
            return std::string(path.substr(0, at - 1));
        }
    }
    return {};
}

}  // namespace dekvanto::core
