#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <string_view>

#include "core/posix/file_writes.h"
#include "core/whole_file.h"

namespace dekvanto::app {
namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 100;

// The file that a write must replace: the target of a symbolic link, else the path itself.
fs::path ReplacedFile(const fs::path &path) {
    std::error_code error;
    if (fs::is_symlink(path, error)) {
        const fs::path target = fs::weakly_canonical(path, error);
        if (!error) {
            return target;
        }
    }
    return path;
}

// Temporary files are hidden and named "." + the file's name + ".tmp-<pid>-<count>".
std::string TemporaryPrefix(const fs::path &file) {
    return "." + file.filename().string() + ".tmp-";
}

// Creates a new, empty temporary file beside `file` and returns its descriptor (-1 on failure).
int CreateTemporaryBeside(const fs::path &file, fs::path &temporary) {
    static std::atomic<unsigned> counter{0};
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = folder / (TemporaryPrefix(file) + std::to_string(::getpid()) + "-" +
                              std::to_string(counter++));
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Whether an existing file may be written: the process must have the right, and a file without
// any write permission bit counts as read-only even for a privileged process.
bool MayReplace(const fs::path &replaced) {
    struct stat status {};
    if (::stat(replaced.c_str(), &status) != 0) {
        return errno == ENOENT;
    }
    return (status.st_mode & 0222) != 0 && ::access(replaced.c_str(), W_OK) == 0;
}

// Gives the temporary file the owner, group and permission bits of the file it replaces.
void KeepAttributes(int fd, const fs::path &replaced) {
    struct stat status {};
    if (::stat(replaced.c_str(), &status) != 0) {
        return;
    }
    if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
        // Only a privileged process may give a file away; the permission bits still hold.
    }
    (void)::fchmod(fd, status.st_mode & 07777);
}

// The writer's process number in a temporary file's name "<prefix><pid>-<count>", or 0 when the
// name is not one of ours.
pid_t TemporaryOwner(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) {
        return 0;
    }
    name.remove_prefix(prefix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size() ||
        name.find_first_not_of("0123456789") != dash ||
        name.find_first_not_of("0123456789", dash + 1) != std::string_view::npos || dash > 9) {
        return 0;
    }
    return static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
}

// Removes the temporary files that writes of `file` left when their process was killed. A file
// whose writer still runs is left alone: it may be about to become the new settings file.
void RemoveStaleTemporaries(const fs::path &file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const std::string prefix = TemporaryPrefix(file);
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const pid_t owner = TemporaryOwner(it->path().filename().native(), prefix);
        if (owner > 0 && it->is_regular_file(error) && !it->is_symlink(error) &&
            ::kill(owner, 0) != 0 && errno == ESRCH) {
            ::unlink(it->path().c_str());
        }
    }
}

}  // namespace

std::optional<std::string> ReadWholeFile(const fs::path &path, std::error_code &error) {
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::error_code(errno, std::generic_category());
        return std::nullopt;
    }
    std::string contents;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::error_code(errno, std::generic_category());
            ::close(fd);
            return std::nullopt;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return contents;
}

std::optional<std::string> ReadWholeFile(const fs::path &path) {
    std::error_code error;
    return ReadWholeFile(path, error);
}

bool ReplaceWholeFile(const fs::path &path, std::string_view contents) {
    const fs::path replaced = ReplacedFile(path);
    if (!MayReplace(replaced)) {
        return false;
    }
    fs::path temporary;
    const int fd = CreateTemporaryBeside(replaced, temporary);
    if (fd < 0) {
        return false;
    }
    KeepAttributes(fd, replaced);
    const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), replaced.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(replaced);
    RemoveStaleTemporaries(replaced);
    return true;
}

}  // namespace dekvanto::app
