#include <ostream>

#include "exit_status.h"
#include "records_database.h"

namespace dekvanto::cli {

int ListUnitsFromDatabase(const RecordsOptions &, Console &console) {
    console.err << "vanto: --db is not available on Windows: read the line's database from a "
                   "Linux machine (README)"
                << std::endl;
    return kBadUsage;
}

// No database client in the Windows build: a Windows bench's record file is pushed by a
// forwarder on a Linux machine (README).
void AddRecordsDatabaseCommands(CLI::App &, RecordsDatabaseOptions &) {}

std::optional<int> RunRecordsDatabaseCommand(CLI::App &, const RecordsDatabaseOptions &,
                                             Console &) {
    return std::nullopt;
}

}  // namespace dekvanto::cli
