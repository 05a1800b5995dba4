#include "core/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

namespace dekvanto::app {

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const std::string &path) {
    if (path.empty()) {
        return std::nullopt;
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(descriptor);
        return std::nullopt;
    }
    return ReadOnlyFile(descriptor);
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile &&other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

ReadOnlyFile &ReadOnlyFile::operator=(ReadOnlyFile &&other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::optional<FileStatus> ReadOnlyFile::Status() const {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) {
        return std::nullopt;
    }
    FileStatus result;
    result.size = static_cast<int64_t>(status.st_size);
    result.modified_ns = static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                         static_cast<int64_t>(status.st_mtim.tv_nsec);
    return result;
}

std::size_t ReadOnlyFile::ReadUpTo(uint8_t *buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(descriptor_, buffer + done, size - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    return done;
}

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

}  // namespace dekvanto::app
