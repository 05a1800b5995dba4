#include "files/read_only_file.h"

#if defined(_WIN32)
#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dekvanto::engine {

#if defined(_WIN32)

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

std::optional<uint64_t> OpenedFileLength(std::FILE *file) {
    struct _stat64 status {};
    if (_fstat64(_fileno(file), &status) != 0 || status.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(status.st_size);
}

#else

FileHandle OpenReadOnly(const char *path) {
    if (path == nullptr) {
        return nullptr;
    }
    // Without O_NONBLOCK a pipe put in the file's place would hold the open until a writer came.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
    }
    return FileHandle(file);
}

std::optional<uint64_t> OpenedFileLength(std::FILE *file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0 || status.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(status.st_size);
}

#endif

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

}  // namespace dekvanto::engine
