// Reading the record file as a stream, for `vanto records` and for checks of a bench's run: the
// lines are read one by one, each unit is handed out as soon as it is final and each line that is
// skipped as it is met, and only a bounded window of units is held, whatever the file's size.
//
// Start and end lines are paired per unit: the same host, station and unit number, each compared
// whole. A start line opens its unit; the next end line of that unit closes it. A station flashes
// one phone at a time, so a unit is final once its station (host and station) begins another
// unit, or at the end of the file. A unit whose start line has no end line was interrupted: its
// station was cut off (a crash, a power cut, a kill) while the phone was being flashed. A new
// start of a unit still open (the bench was started again and counts from 1 anew) leaves the open
// one interrupted. An end line without a start (its start line was lost, or is in a file rotated
// away) still stands for its unit, since an end line holds the whole record; it begins a unit of
// its station like a start line. A removal line (the station found the phone gone) is no unit of
// its own: it marks its station's newest unit as removed when that unit has the same number;
// otherwise it is passed over.
//
// Units come out in the order they started (the line they start at), so a final unit waits for
// those that started before it. The units waiting are held in a window of at most
// RecordWindow::units units and RecordWindow::bytes bytes of the lines they were read from; when
// either is passed, the oldest unit goes out as it stands. That happens only when a station's
// unit stays open while thousands of others start (a station not used again for hours of a
// line's work): the unit is then listed as it was at that point, without a removal line that
// comes later, and interrupted if its end line had not come yet; such an end line then stands
// for a unit of its own.
//
// Nothing in the file is fatal: a last line cut off while it was written (no newline, not
// readable), a line that is no record, and a line of an unknown schema are each reported with
// their line number and skipped. Blank lines are passed over.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "core/records/unit_record.h"

namespace dekvanto::core {

struct RecordedUnit {
    UnitRecord record;     // from its end line when it ended, else from its start line
    std::size_t line = 0;  // where it starts in the file (its end line's when no start was read)
    std::optional<std::string> removed;  // when the station found the phone gone, if it said so

    bool Interrupted() const { return !record.end; }
};

struct SkippedRecordLine {
    std::size_t number = 0;  // 1 for the first line
    std::string reason;
};

// The most that waits to be handed out. A bench's stations each keep about one unit waiting
// (the one whose removal line may still come), and a station left idle keeps the units started
// after its last one waiting behind it: 4096 units are hours of a line's work at eight stations.
// A unit of a bench takes about 2.5 KB of lines (its start, end and removal lines), and about
// twice that in memory: the bytes bound keeps units with long logs to some tens of MiB as well.
struct RecordWindow {
    std::size_t units = 4096;
    std::size_t bytes = std::size_t{8} << 20;
};

// Where the reading hands out what it finds; either may be left empty.
struct RecordSinks {
    std::function<void(RecordedUnit)> unit;                  // in the order the units started
    std::function<void(const SkippedRecordLine &)> skipped;  // in the order of their lines
};

// Reads `in` to its end, handing out every unit and every skipped line as described above.
void StreamRecordFile(std::istream &in, const RecordSinks &sinks, RecordWindow window = {});

}  // namespace dekvanto::core
