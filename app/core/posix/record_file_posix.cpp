#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/posix/file_writes.h"
#include "core/record_file.h"

namespace dekvanto::app {
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
            ::flock(fd_, LOCK_UN);
        }
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool Held() const { return held_; }

  private:
    int fd_;
    bool held_ = false;
};

}  // namespace

std::optional<RecordFile> RecordFile::Open(const std::string &path, std::string &error) {
    const std::string refused = "cannot open the record file " + path + ": ";
    // Not blocking: a named pipe without a reader would hold the open for ever.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        error = refused + Reason(errno);
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = refused + "not a regular file";
        return std::nullopt;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    SyncFolder(path);
    return RecordFile(fd, path);
}

void RecordFile::Close() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

bool RecordFile::Append(std::string_view line, std::string &error) {
    const int fd = static_cast<int>(handle_);
    FileLock lock(fd);
    if (!lock.Held()) {
        error = "cannot write the record file " + path_ + ": " + Reason(errno);
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
        error = "cannot write the record file " + path_ + ": " + Reason(errno);
        return false;
    }
    return true;
}

}  // namespace dekvanto::app
