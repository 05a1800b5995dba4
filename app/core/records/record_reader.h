// The record file read back whole, for the checks of a bench's run, and what `vanto records`
// makes of its units: their verdicts, the user's filter, and the totals per station and result.
// The reading and its rules (how lines pair into units, what is skipped) are the stream's
// (record_stream.h); ReadRecordFile only keeps what the stream hands out.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/records/record_stream.h"
#include "core/records/unit_record.h"

namespace dekvanto::core {

struct RecordReading {
    std::vector<RecordedUnit> units;  // in the order they started
    std::vector<SkippedRecordLine> skipped;
};

// Every unit and skipped line of `in`, held in memory: for files of a known small size (a test's,
// a bench's run); a file of any size is read with StreamRecordFile.
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

    // Whether the unit is one to show.
    bool Admits(const RecordedUnit &unit) const;
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

// The totals of units added one at a time, as a stream hands them out. The counts are kept per
// host and station; whether a station is named with its host is known only once every unit is
// in, so Totals() names them then.
class TotalsCounter {
  public:
    void Add(const UnitRecord &record);
    RecordTotals Totals() const;

  private:
    using Station = std::pair<std::string, std::string>;  // host, port name

    VerdictCounts all_;
    std::vector<std::pair<Station, VerdictCounts>> stations_;
    std::map<Station, std::size_t> station_places_;
    std::vector<std::pair<std::string, int>> results_;
    std::map<std::string, std::size_t> result_places_;
    std::optional<std::string> first_host_;
    bool several_hosts_ = false;
};

RecordTotals TotalsOf(const std::vector<RecordedUnit> &units);

}  // namespace dekvanto::core
