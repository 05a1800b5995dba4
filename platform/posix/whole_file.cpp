#include "dekvanto/platform/whole_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "dekvanto/platform/write_folder.h"
#include "file_writes.h"

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 100;

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// Temporary files are hidden and named "." + the file's name + ".tmp-<pid>-<count>".
std::string TemporaryPrefix(const std::string &file) {
    return "." + file + ".tmp-";
}

// Creates a new, empty temporary file beside the replaced one and returns its descriptor (-1 on
// failure, errno says why).
int CreateTemporaryBeside(const WritableName &replaced, std::string &temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = TemporaryPrefix(replaced.name) + std::to_string(::getpid()) + "-" +
                    std::to_string(counter++);
        const int fd = ::openat(replaced.folder.Descriptor(), temporary.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Whether an existing file may be written: the process must have the right, and a file without
// any write permission bit counts as read-only even for a privileged process.
bool MayReplace(const WritableName &replaced, std::error_code &error) {
    const int at = replaced.folder.Descriptor();
    struct stat status {};
    if (::fstatat(at, replaced.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        error = LastError();
        return errno == ENOENT;
    }
    if ((status.st_mode & 0222) == 0 || ::faccessat(at, replaced.name.c_str(), W_OK, 0) != 0) {
        error = std::make_error_code(std::errc::permission_denied);
        return false;
    }
    return true;
}

// Gives the temporary file the owner, group and permission bits of the file it replaces.
void KeepAttributes(int fd, const WritableName &replaced) {
    struct stat status {};
    if (::fstatat(replaced.folder.Descriptor(), replaced.name.c_str(), &status,
                  AT_SYMLINK_NOFOLLOW) != 0) {
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

// Removes the temporary files that writes of the file left when their process was killed. A file
// whose writer still runs is left alone: it may be about to become the new settings file.
void RemoveStaleTemporaries(const WritableName &replaced) {
    const int at = replaced.folder.Descriptor();
    const int listing = ::openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return;
    }
    const std::string prefix = TemporaryPrefix(replaced.name);
    while (const dirent *entry = ::readdir(dir)) {
        const pid_t owner = TemporaryOwner(entry->d_name, prefix);
        struct stat status {};
        if (owner > 0 && ::fstatat(at, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && ::kill(owner, 0) != 0 && errno == ESRCH) {
            ::unlinkat(at, entry->d_name, 0);
        }
    }
    ::closedir(dir);
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

bool ReplaceWholeFile(const fs::path &path, std::string_view contents, std::error_code &error) {
    error.clear();
    WritableName replaced;
    if (!FindWritableName(path, replaced, error) || !MayReplace(replaced, error)) {
        return false;
    }
    error.clear();
    std::string temporary;
    const int fd = CreateTemporaryBeside(replaced, temporary);
    if (fd < 0) {
        error = LastError();
        return false;
    }
    KeepAttributes(fd, replaced);
    const int at = replaced.folder.Descriptor();
    const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
    if (!written) {
        error = LastError();
    }
    const bool closed = ::close(fd) == 0;
    if (written && !closed) {
        error = LastError();
    }
    if (!written || !closed || ::renameat(at, temporary.c_str(), at, replaced.name.c_str()) != 0) {
        error = error ? error : LastError();
        ::unlinkat(at, temporary.c_str(), 0);
        return false;
    }
    replaced.folder.Sync();
    RemoveStaleTemporaries(replaced);
    return true;
}

bool ReplaceWholeFile(const fs::path &path, std::string_view contents) {
    std::error_code error;
    return ReplaceWholeFile(path, contents, error);
}

}  // namespace dekvanto::platform
