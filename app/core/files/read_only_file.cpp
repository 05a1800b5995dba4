#include "core/files/read_only_file.h"

#include <filesystem>

namespace dekvanto::core {

std::string FullPath(const std::string &path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return path;
    }
    return absolute.lexically_normal().string();
}

std::optional<FileStatus> StatusOfReadableFile(const std::string &path) {
    auto file = ReadOnlyFile::Open(path);
    if (!file) {
        return std::nullopt;
    }
    return file->Status();
}

}  // namespace dekvanto::core
