// The record file: JSON Lines that every station of a bench appends to, and that must never lose
// or mix up a line.
//
// - The file is only ever appended to. Opening creates it when it is missing; a path that cannot
//   be opened for writing (a missing folder, no permission, a folder, a device, a pipe), or whose
//   file cannot be locked (some network file systems refuse locks), is refused with the reason,
//   before any phone is flashed.
// - Each line is written whole, in one piece, while the writer holds the file's lock (flock on
//   POSIX; on Windows LockFileEx on a byte far past any data, so that readers are not held up).
//   Several processes appending to one file never interleave inside a line.
// - A line cut off by a crash of its writer is ended first, so that the next line starts on a line
//   of its own and stays readable: only the cut-off line is lost.
// - Append returns only when the line is on stable storage (fdatasync, FlushFileBuffers): a unit
//   whose end line has been appended survives a power cut. A failed write or flush is reported;
//   the bench then stops that station, as a phone must never be flashed when its record is lost.
// - A record file renamed or deleted while the bench runs (rotated by an administrator, say) is
//   made again at its path; the next line goes there. Each append first checks that the path
//   still names the file that is open, so that no line goes into a file that nobody can find.
//   When the file cannot be made again, the append fails with the reason.
// The file's own side (the lock, the whole lines, the flush) is platform::LineFile; this class
// follows the path and says what failed in the record's words.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dekvanto/platform/line_file.h"

namespace dekvanto::core {

class RecordFile {
  public:
    // Opens (creating when missing) the record file at path for appending, and takes and lets go
    // of its lock once, so that a file system that refuses locks is found now and not at the
    // first phone. Nothing when it cannot be, with `error` set to "cannot open the record file
    // <path>: <reason>".
    static std::optional<RecordFile> Open(const std::string &path, std::string &error);

    RecordFile(RecordFile &&other) noexcept = default;
    RecordFile &operator=(RecordFile &&other) noexcept = default;
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;

    // Appends `line` (one line of text without its newline; the newline is added) whole and waits
    // until it is on stable storage. When the path no longer names the open file (deleted,
    // renamed, replaced), the file at the path is opened again (made when missing) and the line
    // goes there. False when it could not be written or flushed, or the file could not be made
    // again, with `error` set to "cannot write the record file <path>: <reason>".
    bool Append(std::string_view line, std::string &error);

    const std::string &Path() const { return path_; }

  private:
    RecordFile(platform::LineFile file, std::string path)
        : file_(std::move(file)), path_(std::move(path)) {}
    // Makes sure that the open file is the one that the path names: when the path names another
    // file or none, opens the path again (making the file) in place of the open one. False, with
    // `error` set, when that cannot be done.
    bool FollowPath(std::string &error);

    platform::LineFile file_;
    std::string path_;
};

}  // namespace dekvanto::core
