// The line's database from the command line, under `vanto records`:
//   init-db --db URL            makes or upgrades the tables and views
//   push FILE --db URL          sends the lines of a record file that the database lacks
//   follow FILE --db URL        keeps sending them as the bench appends them, until stopped
//   yield --db URL [--by ...]   units, PASS, FAIL and first-pass yield per product, firmware...
//   unit ID --db URL            every line recorded for one phone
// and `vanto records --db URL`, the listing of a record file read from the database.
// Not on Windows, which has no database client here: a Windows bench's record file is pushed
// from a Linux machine (README).
#pragma once

#include <optional>
#include <string>

#include "console.h"

namespace CLI {
class App;
}

namespace dekvanto::cli {

struct RecordsDatabaseOptions {
    std::string db;                       // --db URL
    std::string file;                     // push, follow: the record file
    std::optional<std::string> position;  // follow: where it keeps how far it has pushed
    std::string by = "product";           // yield: product, firmware, station, host or day
    std::string unit_id;                  // unit: the scanned identifier
    std::optional<std::string> station;   // yield: only this station (COM<n>)
    std::optional<std::string> host;      // yield: only this bench PC
    std::optional<std::string> since;     // yield: only units started at or after this
    bool csv = false;                     // yield: comma-separated
};

// Adds the database's subcommands to `records` (nothing on Windows).
void AddRecordsDatabaseCommands(CLI::App &records, RecordsDatabaseOptions &options);

struct RecordsOptions;

// `vanto records --db URL [--station] [--host] [--since] [--failed] [--csv]`: the listing and
// totals of `vanto records FILE`, from the database. On Windows, the reason it is not there.
int ListUnitsFromDatabase(const RecordsOptions &options, Console &console);

// Runs the database subcommand that was given; nothing when none was.
std::optional<int> RunRecordsDatabaseCommand(CLI::App &records,
                                             const RecordsDatabaseOptions &options,
                                             Console &console);

}  // namespace dekvanto::cli
