#include "file_writes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

// As many links as the kernel follows in one path before it gives ELOOP.
constexpr int kMostLinks = 40;

}  // namespace

bool FindWritableName(const fs::path &path, WritableName &found, std::error_code &error) {
    if (path.empty()) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return false;
    }
    fs::path name = path;
    int start = -1;  // the working directory
    WriteFolder folder;
    for (int links = 0;; ++links) {
        const std::string file = name.filename().string();
        if (file.empty() || file == "." || file == "..") {
            error = std::make_error_code(std::errc::is_a_directory);
            return false;
        }
        WriteFolder next = WriteFolder::Open(name.parent_path(), false, error, start);
        if (!next.IsOpen()) {
            return false;
        }
        folder = std::move(next);
        error = folder.CheckWrite(file);
        if (error) {
            return false;
        }
        if (folder.KindOf(file) != EntryKind::kSymbolicLink) {
            found = WritableName{std::move(folder), file};
            return true;
        }
        if (links == kMostLinks) {
            error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            return false;
        }
        if (!folder.ReadLink(file, name, error)) {
            return false;
        }
        start = folder.Descriptor();  // a relative target is taken from the link's folder
    }
}

int OpenWritable(const fs::path &path, int flags, std::error_code &error) {
    WritableName found;
    if (!FindWritableName(path, found, error)) {
        return -1;
    }
    // Not blocking: a pipe put at the name after the checks would hold the open for ever.
    const int fd = ::openat(found.folder.Descriptor(), found.name.c_str(),
                            flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        error = {errno, std::generic_category()};
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = WriteRefusal::kNotAFile;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void SyncFolder(const std::filesystem::path &file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

}  // namespace dekvanto::platform
