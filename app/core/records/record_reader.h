// Reading the record file back, for `vanto records` and for checks of a bench's run.
//
// Start and end lines are paired per unit: the same host, station and unit number. A start line
// opens its unit; the next end line of that unit closes it. A unit whose start line has no end
// line was interrupted: its station was cut off (a crash, a power cut, a kill) while the phone was
// being flashed. A new start of a unit still open (the bench was started again and counts from 1
// anew) leaves the open one interrupted. An end line without a start (its start line was lost)
// still stands for its unit, since an end line holds the whole record. A removal line (the
// station found the phone gone) is no unit of its own: it marks the newest unit of its host,
// station and unit number as removed.
//
// Nothing in the file is fatal: a last line cut off while it was written (no newline, not
// readable), a line that is no record, and a line of an unknown schema are each reported with
// their line number and skipped. Blank lines are passed over.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

struct RecordReading {
    std::vector<RecordedUnit> units;  // in the order they started
    std::vector<SkippedRecordLine> skipped;
};

RecordReading ReadRecordFile(std::istream &in);

// How a unit came out: passed (status "finished"), stopped by the operator, failed otherwise, or
// interrupted (no end line).
enum class UnitVerdict { kPassed, kFailed, kStopped, kInterrupted };

UnitVerdict VerdictOf(const UnitRecord &record);
// The verdict of a unit that ended with an outcome of this class.
UnitVerdict VerdictOfClass(OutcomeClass status);
// "PASS", "FAIL", "STOPPED", "INTERRUPTED".
std::string_view VerdictWord(UnitVerdict verdict);

// What the user asks to see.
struct UnitFilter {
    std::optional<std::string> station;  // this station only (letter case ignored)
    std::optional<std::string> since;    // units started at or after this timestamp (UTC)
    bool failed_only = false;            // every unit that did not pass
};

std::vector<RecordedUnit> SelectUnits(const std::vector<RecordedUnit> &units,
                                      const UnitFilter &filter);

struct VerdictCounts {
    int units = 0;
    int passed = 0;
    int failed = 0;
    int stopped = 0;
    int interrupted = 0;

    void Add(UnitVerdict verdict);
    // Adds another set of counts (a station's to the bench's totals).
    VerdictCounts &operator+=(const VerdictCounts &other);
};

struct RecordTotals {
    VerdictCounts all;
    // Per station and per result, each in the order of first appearance. When the units come
    // from more than one host, two benches' COM3 are two stations: each is named with its host
    // ("bench-2 COM3"); from one host, by its port alone ("COM3").
    std::vector<std::pair<std::string, VerdictCounts>> stations;
    std::vector<std::pair<std::string, int>> results;
};

// What a unit's result is called in the totals: its result character and result line
// ("2 DOWNLOAD COMPLETED"), "-" and the result line when the engine did not run, or
// "interrupted".
std::string ResultLabel(const UnitRecord &record);

RecordTotals TotalsOf(const std::vector<RecordedUnit> &units);

}  // namespace dekvanto::core
