// A file of text lines that several processes append to at once (the bench's record file), and
// that must never lose or mix up a line.
//
// - The file is only ever appended to. Opening creates it when it is missing. A path that cannot
//   be opened for writing (a missing folder, no permission, a folder, a device, a pipe) is
//   refused, and so is a file that cannot be locked (some network file systems refuse locks):
//   the lock is taken and let go once at the open, so that this shows before the first line.
//   Elsewhere than on Windows the write rules hold (write_rules.h): root never appends through a
//   planted link nor into a folder another user owns. The new name is made to last in its folder.
// - Each line is written whole, in one piece, while the writer holds the file's lock (flock on
//   POSIX; on Windows LockFileEx on a byte far past any data, so that readers are not held up).
//   Several processes appending to one file never interleave inside a line.
// - A line cut off by a crash of its writer is ended first, so that the next line starts on a
//   line of its own: only the cut-off line is lost.
// - AppendLine returns only when the line is on stable storage (fdatasync, FlushFileBuffers).
// Reasons are the system's own words for the failure (strerror, FormatMessage), or a few words
// of this library's ("it is a folder", "not a regular file", "the file cannot be locked: ...").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::platform {

class LineFile {
  public:
    // Opens (creating when missing) the file at path for appending, as above. Nothing when it
    // cannot be, with the reason in `reason`.
    static std::optional<LineFile> Open(const std::string &path, std::string &reason);

    LineFile(LineFile &&other) noexcept;
    LineFile &operator=(LineFile &&other) noexcept;
    LineFile(const LineFile &) = delete;
    LineFile &operator=(const LineFile &) = delete;
    ~LineFile();

    // Whether path names this open file still (false once it was deleted, renamed or replaced).
    bool IsAt(const std::string &path) const;

    // Appends `line` (without its newline; the newline is added) whole under the lock, after a
    // newline when the file ends in a cut-off line, and waits until it is on stable storage.
    // False with the reason in `reason` when it could not be locked, written or flushed.
    bool AppendLine(std::string_view line, std::string &reason);

  private:
    explicit LineFile(std::intptr_t handle) : handle_(handle) {}
    void Close();

    // A descriptor on POSIX, a HANDLE on Windows; -1 once moved from.
    std::intptr_t handle_;
};

}  // namespace dekvanto::platform
