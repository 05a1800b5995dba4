// The lines of a record file as a stream, for pushing and following it: each whole line (one
// that its newline ends) with its number and the offset just past it, read in blocks so that
// memory stays flat whatever the file's size. A last line without its newline is not handed
// out: the bench may be writing it right now. A follower reads on when the file grows.
//
// A line longer than kLongestLine (no record line comes near it; a file that is no record may
// hold one) is passed over as it is read, never held whole, and handed out as too long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "dekvanto/platform/read_only_file.h"

namespace dekvanto::core {

inline constexpr std::size_t kLongestLine = 64u << 20;

// Where reading stands in a file: the offset of the next byte to read and the number of the line
// that starts there (1 for the first line).
struct LinePosition {
    uint64_t offset = 0;
    uint64_t line = 1;

    bool operator==(const LinePosition &) const = default;
};

struct SourceLine {
    std::string text;  // without its newline (and without a carriage return before it)
    uint64_t number = 0;
    LinePosition after;     // where the next line starts
    bool too_long = false;  // longer than kLongestLine: text is empty
};

class RecordLineSource {
  public:
    // Reads `file` from `from` (a position that a whole line ended at).
    RecordLineSource(platform::ReadOnlyFile file, LinePosition from);

    // The next whole line, or nothing when the file holds no further whole line yet.
    std::optional<SourceLine> Next();
    // Bytes after the last whole line: a line cut off, or one being written.
    bool HasPendingLine() const { return !pending_.empty() || skipping_; }
    // Reads again from `from`, forgetting what was read after it (a batch the database did not
    // take is read again from where the last one it took ended).
    void Restart(LinePosition from);
    // Where the last line handed out ended.
    LinePosition Position() const { return position_; }
    platform::ReadOnlyFile &File() { return file_; }

  private:
    bool ReadMore();

    platform::ReadOnlyFile file_;
    LinePosition position_;
    std::string pending_;     // the bytes read of the next line so far
    std::string block_;       // read but not yet looked at
    std::size_t looked_ = 0;  // how much of block_ has been looked at
    bool skipping_ = false;   // inside a line longer than kLongestLine
    uint64_t skipped_bytes_ = 0;
};

}  // namespace dekvanto::core
