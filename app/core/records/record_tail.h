// The last unit of a station in the record file, for a bench that starts again: which unit it
// was, whether it passed, and whether its phone was taken off since.
//
// A year of records is gigabytes, so the file is read backwards from its end in blocks, never
// whole, and the search gives up after a bounded amount read. Lines cut off by a crash and lines
// that are no record are passed over, as the reader does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::core {

struct LastUnit {
    int64_t unit = 0;
    std::string started;                 // the unit's start time
    std::optional<std::string> unit_id;  // its scanned identifier, when one was scanned
    bool passed = false;   // its newest line is an end line whose status is "finished"
    bool removed = false;  // a removal line for the unit came after it
};

// How the file is read: in blocks of `block` bytes from its end, at most `most` bytes in all.
struct TailReading {
    std::size_t block = 64 * 1024;
    uint64_t most = 64ull * 1024 * 1024;
};

// The newest unit of the station `station` (letter case ignored) of the bench on `host` in the
// record file at `path`: from its newest start or end line, and any removal line of that unit
// after it. When only a removal line is found, the unit is taken from it (not passed). Nothing when
// the file is missing or cannot be read, or holds no line of that station within `how.most`
// bytes of its end.
std::optional<LastUnit> FindLastUnit(const std::string &path, std::string_view host,
                                     std::string_view station, const TailReading &how = {});

}  // namespace dekvanto::core
