#include "dekvanto/platform/write_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

// As many links as the kernel follows in one path before it gives ELOOP.
constexpr int kMostLinks = 40;

constexpr int kPathFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// The names still to walk, the next one last.
void PushComponents(std::vector<std::string> &pending, const fs::path &path) {
    std::vector<std::string> names;
    for (const fs::path &component : path.relative_path()) {
        names.push_back(component.string());
    }
    pending.insert(pending.end(), names.rbegin(), names.rend());
}

// The text of the link `name` in the folder held by `at`.
bool ReadLinkAt(int at, const std::string &name, fs::path &target, std::error_code &error) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t got = ::readlinkat(at, name.c_str(), text.data(), text.size());
        if (got < 0) {
            error = LastError();
            return false;
        }
        if (static_cast<std::size_t>(got) < text.size()) {
            text.resize(static_cast<std::size_t>(got));
            target = text;
            return true;
        }
        text.resize(text.size() * 2);
    }
}

// The owner of the folder held by fd; when it cannot be known, a user no process runs as, so
// that the rules treat the folder as another user's.
uid_t OwnerOf(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? status.st_uid : static_cast<uid_t>(-1);
}

// Makes the missing folder `name` in the folder held by `at`, where the rules allow it.
bool MakeFolder(int at, const std::string &name, std::error_code &error) {
    const WriteRefusal refused = RefusalOf({::geteuid(), OwnerOf(at), EntryKind::kMissing});
    if (refused != WriteRefusal::kNone) {
        error = refused;
        return false;
    }
    if (::mkdirat(at, name.c_str(), 0777) != 0 && errno != EEXIST) {
        error = LastError();
        return false;
    }
    return true;
}

// Follows the link `name` (owned by owner) in the folder held by fd: its target's names are
// queued, and fd goes back to the root folder for an absolute target.
bool FollowLink(int &fd, const std::string &name, uid_t owner, std::vector<std::string> &pending,
                int &links, std::error_code &error) {
    const WriteRefusal refused = RefusalOfLinkOnTheWay(::geteuid(), owner);
    if (refused != WriteRefusal::kNone) {
        error = refused;
        return false;
    }
    if (++links > kMostLinks) {
        error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return false;
    }
    fs::path target;
    if (!ReadLinkAt(fd, name, target, error)) {
        return false;
    }
    PushComponents(pending, target);
    if (target.is_absolute()) {
        ::close(fd);
        fd = ::open("/", kPathFlags);
        if (fd < 0) {
            error = LastError();
            return false;
        }
    }
    return true;
}

// One step of the walk: from the folder held by fd into `name`. False with error when the step
// is refused or fails.
bool Step(int &fd, const std::string &name, bool create, std::vector<std::string> &pending,
          int &links, std::error_code &error) {
    struct stat status {};
    if (::fstatat(fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT || !create) {
            error = LastError();
            return false;
        }
        if (!MakeFolder(fd, name, error)) {
            return false;
        }
        pending.push_back(name);  // made: entered at the next step
        return true;
    }
    if (S_ISLNK(status.st_mode)) {
        return FollowLink(fd, name, status.st_uid, pending, links, error);
    }
    // O_NOFOLLOW: a name swapped for a link since the look above is not entered.
    const int next = ::openat(fd, name.c_str(), kPathFlags | O_NOFOLLOW);
    if (next < 0) {
        error = LastError();
        return false;
    }
    ::close(fd);
    fd = next;
    return true;
}

}  // namespace

WriteFolder WriteFolder::Open(const fs::path &folder, bool create, std::error_code &error,
                              int start) {
    error.clear();
    int fd = folder.is_absolute() ? ::open("/", kPathFlags)
                                  : ::openat(start < 0 ? AT_FDCWD : start, ".", kPathFlags);
    if (fd < 0) {
        error = LastError();
        return {};
    }
    std::vector<std::string> pending;
    PushComponents(pending, folder);
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (name.empty() || name == ".") {
            continue;
        }
        if (!Step(fd, name, create, pending, links, error)) {
            if (fd >= 0) {
                ::close(fd);
            }
            return {};
        }
    }
    return WriteFolder(fd);
}

WriteFolder::~WriteFolder() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

WriteFolder::WriteFolder(WriteFolder &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

WriteFolder &WriteFolder::operator=(WriteFolder &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool WriteFolder::ReadLink(const std::string &name, fs::path &target,
                           std::error_code &error) const {
    return ReadLinkAt(fd_, name, target, error);
}

EntryKind WriteFolder::KindOf(const std::string &name) const {
    struct stat status {};
    if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? EntryKind::kMissing : EntryKind::kOther;
    }
    if (S_ISLNK(status.st_mode)) {
        return EntryKind::kSymbolicLink;
    }
    return S_ISREG(status.st_mode) ? EntryKind::kRegularFile : EntryKind::kOther;
}

std::error_code WriteFolder::CheckWrite(const std::string &name) const {
    const WriteRefusal refused = RefusalOf({::geteuid(), OwnerOf(fd_), KindOf(name)});
    if (refused != WriteRefusal::kNone) {
        return refused;
    }
    return {};
}

void WriteFolder::Sync() const {
    const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

}  // namespace dekvanto::platform
