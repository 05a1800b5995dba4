// A firmware file (code, loader, personalization) opened for reading raw bytes, with other
// programs free to read and write it meanwhile (on Windows: share modes read and write; POSIX
// has no share modes).
//
// Only regular files open. A directory, a device (a serial port, /dev/null, a terminal, NUL), a
// named pipe or a socket counts as a file that does not open, for every reader alike: the
// download, the mapping check and the application's summaries. Nothing can block on it (a pipe
// without a writer would hold the open or the read for ever, a device may never end). On POSIX
// a device is not even opened, since opening one can act on it (a serial port raises DTR); on
// Windows, where a device is named like a file, it is let go as soon as it shows what it is.
// What is checked is the file that was opened: a path swapped for a pipe or a folder at the same
// moment is refused without blocking, and a file removed after the open is still read whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dekvanto::platform {

// What the opened file's status says: its size and its last modification, in nanoseconds since
// 1970-01-01.
struct FileStatus {
    int64_t size = 0;
    int64_t modified_ns = 0;

    bool operator==(const FileStatus &) const = default;
};

// Which file an opened file or a path is, whatever its name: the same identity for the same file
// under another name (a record file renamed by its rotation), another for a new file made under
// the old name.
struct FileIdentity {
    uint64_t volume = 0;  // the device (POSIX) or the volume's serial number (Windows)
    uint64_t file = 0;    // the inode (POSIX) or the file index (Windows)

    bool operator==(const FileIdentity &) const = default;
};

// Whether OpenOutsideText refuses path for being a symbolic link that root would follow.
bool RefusedAsLinkForAdministrator(const std::string &path);

// The identity of the file at path (a link followed), or nothing when there is none.
std::optional<FileIdentity> IdentityOfPath(const std::string &path);

class ReadOnlyFile {
  public:
    // Opens path for reading; nothing for an empty path, a path that does not open, or anything
    // but a regular file.
    static std::optional<ReadOnlyFile> Open(const std::string &path);
    // The same, except that a process running as root (POSIX) never opens a file through a
    // symbolic link at path: a record file is text from outside, and a link planted in its place
    // would have root read whatever it leads to. Windows follows links as Open does.
    static std::optional<ReadOnlyFile> OpenOutsideText(const std::string &path);

    ReadOnlyFile(ReadOnlyFile &&other) noexcept;
    ReadOnlyFile &operator=(ReadOnlyFile &&other) noexcept;
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;
    ~ReadOnlyFile();

    // The status of the opened file (its path may be gone by now), or nothing when the system
    // cannot tell.
    std::optional<FileStatus> Status() const;
    // Which file was opened, or nothing when the system cannot tell.
    std::optional<FileIdentity> Identity() const;
    // Reads from the current position until size bytes have come or the file ends; returns how
    // many came (fewer on a short file or a read error).
    std::size_t ReadUpTo(uint8_t *buffer, std::size_t size);
    // Moves the position of the next read to offset bytes from the start. False when the system
    // refuses; the position is then unspecified.
    bool Seek(uint64_t offset);

  private:
    explicit ReadOnlyFile(std::intptr_t handle) : handle_(handle) {}
    static std::optional<ReadOnlyFile> OpenWith(const std::string &path, bool follow_links);
    void Close();

    // The open file: a descriptor on POSIX, a HANDLE on Windows; -1 once moved from.
    std::intptr_t handle_;
};

}  // namespace dekvanto::platform
