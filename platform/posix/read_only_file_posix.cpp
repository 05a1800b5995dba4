#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "dekvanto/platform/read_only_file.h"

namespace dekvanto::platform {
namespace {

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

bool IsRegularFile(const struct stat &status) {
    return S_ISREG(status.st_mode);
}

}  // namespace

std::optional<ReadOnlyFile> ReadOnlyFile::OpenWith(const std::string &path, bool follow_links) {
    if (path.empty()) {
        return std::nullopt;
    }
    // A device is never opened: looking first keeps its open from acting on it.
    struct stat status {};
    const int looked =
        follow_links ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
    if (looked != 0 || !IsRegularFile(status)) {
        return std::nullopt;
    }
    // Without O_NONBLOCK a pipe put in the file's place since would hold the open until a
    // writer came; what was opened is looked at again below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                            (follow_links ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        return std::nullopt;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &status) != 0 || !IsRegularFile(status) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return ReadOnlyFile(fd);
}

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const std::string &path) {
    return OpenWith(path, true);
}

std::optional<ReadOnlyFile> ReadOnlyFile::OpenOutsideText(const std::string &path) {
    return OpenWith(path, ::geteuid() != 0);
}

bool RefusedAsLinkForAdministrator(const std::string &path) {
    struct stat status {};
    return ::geteuid() == 0 && ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

void ReadOnlyFile::Close() {
    if (handle_ >= 0) {
        ::close(Fd(handle_));
        handle_ = -1;
    }
}

std::optional<FileStatus> ReadOnlyFile::Status() const {
    struct stat status {};
    if (::fstat(Fd(handle_), &status) != 0 || status.st_size < 0) {
        return std::nullopt;
    }
    FileStatus result;
    result.size = static_cast<int64_t>(status.st_size);
    result.modified_ns = static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                         static_cast<int64_t>(status.st_mtim.tv_nsec);
    return result;
}

namespace {

FileIdentity IdentityOf(const struct stat &status) {
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

}  // namespace

std::optional<FileIdentity> ReadOnlyFile::Identity() const {
    struct stat status {};
    if (::fstat(Fd(handle_), &status) != 0) {
        return std::nullopt;
    }
    return IdentityOf(status);
}

std::optional<FileIdentity> IdentityOfPath(const std::string &path) {
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return IdentityOf(status);
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

bool ReadOnlyFile::Seek(uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
        return false;
    }
    return ::lseek(Fd(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

}  // namespace dekvanto::platform
