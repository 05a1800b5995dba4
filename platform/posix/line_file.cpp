#include "dekvanto/platform/line_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_writes.h"

namespace dekvanto::platform {
namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// Whether the file's last byte is anything but a newline: the tail of a line whose writer died.
bool EndsInACutLine(int fd) {
    struct stat status {};
    char last = '\n';
    return ::fstat(fd, &status) == 0 && status.st_size > 0 &&
           ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n';
}

class FileLock {
  public:
    explicit FileLock(int fd) : fd_(fd) {
        int result = 0;
        do {
            result = ::flock(fd_, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        held_ = result == 0;
    }
    ~FileLock() {
        if (held_) {
            const int kept = errno;
            ::flock(fd_, LOCK_UN);
            errno = kept;
        }
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool Held() const { return held_; }

  private:
    int fd_;
    bool held_ = false;
};

// Opens (creating when missing) the file at path for appending, under the write rules (a
// regular file, no link followed as root), makes sure that the system lets it be locked, and makes
// its name last in its folder. The descriptor, or -1 with the reason in `reason`.
int OpenForAppending(const std::string &path, std::string &reason) {
    // Under the write rules: root never appends through a planted link or into a user's folder.
    std::error_code error;
    const int fd = OpenWritable(path, O_RDWR | O_APPEND | O_CREAT, error);
    if (fd < 0) {
        reason = error.message();
        return -1;
    }
    // Some network file systems refuse locks (ENOLCK, EOPNOTSUPP): found here, before any phone.
    bool lockable = false;
    {
        const FileLock lock(fd);
        lockable = lock.Held();
    }
    if (!lockable) {
        reason = "the file cannot be locked: " + Reason(errno);
        ::close(fd);
        return -1;
    }
    SyncFolder(path);
    return fd;
}

}  // namespace

std::optional<LineFile> LineFile::Open(const std::string &path, std::string &reason) {
    const int fd = OpenForAppending(path, reason);
    if (fd < 0) {
        return std::nullopt;
    }
    return LineFile(fd);
}

void LineFile::Close() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

bool LineFile::IsAt(const std::string &path) const {
    struct stat open_file {};
    struct stat at_path {};
    return ::fstat(static_cast<int>(handle_), &open_file) == 0 &&
           ::stat(path.c_str(), &at_path) == 0 && open_file.st_dev == at_path.st_dev &&
           open_file.st_ino == at_path.st_ino;
}

bool LineFile::AppendLine(std::string_view line, std::string &reason) {
    const int fd = static_cast<int>(handle_);
    FileLock lock(fd);
    if (!lock.Held()) {
        reason = Reason(errno);
        return false;
    }
    std::string text;
    text.reserve(line.size() + 2);
    if (EndsInACutLine(fd)) {
        text += '\n';
    }
    text += line;
    text += '\n';
    if (!WriteAll(fd, text) || ::fdatasync(fd) != 0) {
        reason = Reason(errno);
        return false;
    }
    return true;
}

}  // namespace dekvanto::platform
