// `vanto records FILE`: the units of a bench's record file with their outcome, then totals per
// station (per host and station when the file holds several hosts) and per result; or, with
// --csv, one row per unit for a spreadsheet. `vanto records --db URL` lists the same from the
// line's database, across every bench PC (records_database.h).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "console.h"
#include "core/records/record_fields.h"
#include "core/records/record_reader.h"

namespace CLI {
class App;
class Validator;
}  // namespace CLI

namespace dekvanto::cli {

struct RecordsOptions {
    std::string file;
    std::optional<std::string> database;  // --db URL in place of the file
    std::optional<std::string> station;   // COM<n>
    std::optional<std::string> host;      // one bench PC
    std::optional<std::string> since;     // a date or time in UTC, as given
    bool failed = false;
    bool csv = false;
};

// The units as `vanto records` writes them, one at a time as they come: a line each (or a CSV
// row), then the totals.
class UnitListing {
  public:
    UnitListing(std::ostream &out, bool csv);
    void Add(const core::RecordedUnit &unit);
    void Finish();

  private:
    std::ostream &out_;
    bool csv_;
    std::vector<core::CsvColumn> columns_;
    core::TotalsCounter totals_;
};

// The checks of a --station (COM<n>, made canonical) and a --since (a date or time) value.
CLI::Validator StationCheck();
CLI::Validator DateCheck();

// Adds the subcommand "records" with its options, filling options when parsed.
CLI::App *AddRecordsCommand(CLI::App &app, RecordsOptions &options);

// Lists the units on standard output; skipped lines of the file are reported on standard error.
// 0, or the file error status when the file cannot be read.
int RunRecordsCommand(const RecordsOptions &options, Console &console);

}  // namespace dekvanto::cli
