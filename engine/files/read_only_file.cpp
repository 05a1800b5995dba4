#include "files/read_only_file.h"

#include <filesystem>
#include <system_error>

namespace mx40 {

FileHandle OpenReadOnly(const char *path) {
    if (path == nullptr) {
        return nullptr;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) {
        return nullptr;
    }
    return FileHandle(std::fopen(path, "rb"));
}

uint64_t ReadUpTo(std::FILE *file, uint8_t *destination, uint64_t count) {
    uint64_t total = 0;
    while (total < count) {
        const std::size_t n = std::fread(destination + total, 1, count - total, file);
        if (n == 0) {
            break;
        }
        total += n;
    }
    return total;
}

}  // namespace mx40
