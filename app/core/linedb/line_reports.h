// The reports read from the line's database: the same listing as `vanto records FILE` gives from
// one file, but across every bench PC; the yield of a product, firmware, station, host or day;
// and every line recorded for one phone. Rows are read one at a time, so a report over a year of
// units holds one unit in memory.
//
// Units come in the order of their start time (then host, station and unit number), the order a
// single file lists them in. Each unit is read back from its own lines as the file's reader reads
// them (its end line when it ended, else its start line, and its removal line), so the listing's
// words and totals are the file's.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/linedb/database_connection.h"
#include "core/records/record_reader.h"

namespace dekvanto::core {

// Which units a report covers.
struct DatabaseFilter {
    std::optional<std::string> station;  // "COM3": the station of that port on every host
    std::optional<std::string> host;     // one bench PC
    std::optional<std::string> since;    // started at or after this timestamp (record_time.h)
    bool failed_only = false;            // every unit that did not pass
};

// Hands each unit to `unit` in order. The error when the query failed, "" otherwise; a unit
// whose lines cannot be read back (no such line can be stored) is left out.
std::string EachDatabaseUnit(DatabaseConnection &db, const DatabaseFilter &filter,
                             const std::function<void(const RecordedUnit &unit)> &unit);

// What the yield report groups by.
enum class YieldGroup { kProduct, kFirmware, kStation, kHost, kDay };
// "product", "firmware", "station", "host", "day"; and the group of such a word.
std::string_view YieldGroupWord(YieldGroup group);
std::optional<YieldGroup> YieldGroupOfWord(std::string_view word);

// One line of the yield report. A phone is a scanned identifier (a unit without one is a phone
// of its own); its units in order of their start are its attempts. A phone counts in the group
// of its first unit; its later units are retests.
struct YieldRow {
    std::string group;  // "(none)" where the units have no product or code file
    uint64_t units = 0;
    uint64_t passed = 0;      // PASS
    uint64_t failed = 0;      // every unit that did not pass: FAIL, STOPPED, INTERRUPTED
    uint64_t phones = 0;      // phones whose first unit is in this group
    uint64_t first_pass = 0;  // of those, the ones whose first unit passed
    uint64_t retested = 0;    // of those, the ones flashed more than once
    uint64_t last_pass = 0;   // of those, the ones whose last unit passed
};

// The yield of the units `filter` selects, one row per group in the group's order. A phone's
// attempts are numbered over all its units: a unit whose phone was flashed before the filter's
// --since (or on a station it leaves out) counts as a retest, not as a phone.
std::string DatabaseYield(DatabaseConnection &db, YieldGroup by, const DatabaseFilter &filter,
                          std::vector<YieldRow> &rows);

// Every line stored for the phone with the scanned identifier `unit_id`, exactly as its bench
// wrote it, in the order of the units' start and each unit's start, end, removal.
std::string EachLineOfPhone(DatabaseConnection &db, const std::string &unit_id,
                            const std::function<void(const std::string &line)> &line);

}  // namespace dekvanto::core
