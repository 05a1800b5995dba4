// A file opened for reading raw bytes, with others free to read and write it meanwhile (POSIX
// has no share modes; on Windows it is opened with read and write sharing). Directories and other
// non-files count as files that do not open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dekvanto::app {

// What the file's status says: its size and its last modification, in nanoseconds since the
// epoch.
struct FileStatus {
    int64_t size = 0;
    int64_t modified_ns = 0;

    bool operator==(const FileStatus &) const = default;
};

class ReadOnlyFile {
  public:
    // Opens path for reading; nothing when it does not open or names a directory.
    static std::optional<ReadOnlyFile> Open(const std::string &path);

    ReadOnlyFile(ReadOnlyFile &&other) noexcept;
    ReadOnlyFile &operator=(ReadOnlyFile &&other) noexcept;
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;
    ~ReadOnlyFile();

    // The file's status, or nothing when it cannot be read.
    std::optional<FileStatus> Status() const;
    // Reads from the current position until size bytes have come or the file ends; returns how
    // many came (fewer on a short file or a read error).
    std::size_t ReadUpTo(uint8_t *buffer, std::size_t size);

  private:
    explicit ReadOnlyFile(std::intptr_t handle) : handle_(handle) {}
    // The open file: a descriptor on POSIX, a HANDLE on Windows; -1 once moved from.
    std::intptr_t handle_;
};

// The absolute, lexically normal form of path (relative paths are taken from the working
// directory); the path itself when that cannot be formed.
std::string FullPath(const std::string &path);

// The status of the file at path when it opens for reading.
std::optional<FileStatus> StatusOfReadableFile(const std::string &path);

}  // namespace dekvanto::app
