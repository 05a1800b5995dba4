#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/read_only_file.h"

namespace dekvanto::app {
namespace {

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const std::string &path) {
    if (path.empty()) {
        return std::nullopt;
    }
    // Opened without waiting, so that a named pipe with no writer cannot hold the program; folders,
    // pipes and sockets are not files to read.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        return std::nullopt;
    }
    struct stat status {};
    const bool readable = ::fstat(descriptor, &status) == 0 && !S_ISDIR(status.st_mode) &&
                          !S_ISFIFO(status.st_mode) && !S_ISSOCK(status.st_mode);
    const int flags = readable ? ::fcntl(descriptor, F_GETFL) : -1;
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    return ReadOnlyFile(descriptor);
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile &&other) noexcept
    : handle_(std::exchange(other.handle_, -1)) {}

ReadOnlyFile &ReadOnlyFile::operator=(ReadOnlyFile &&other) noexcept {
    if (this != &other) {
        if (handle_ >= 0) {
            ::close(Fd(handle_));
        }
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (handle_ >= 0) {
        ::close(Fd(handle_));
    }
}

std::optional<FileStatus> ReadOnlyFile::Status() const {
    struct stat status {};
    if (::fstat(Fd(handle_), &status) != 0) {
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
        const ssize_t got = ::read(Fd(handle_), buffer + done, size - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    return done;
}

}  // namespace dekvanto::app
