#include "records_database.h"

namespace dekvanto::cli {

// No database client in the Windows build: a Windows bench's record file is pushed by a
// forwarder on a Linux machine (README).
void AddRecordsDatabaseCommands(CLI::App &, RecordsDatabaseOptions &) {}

std::optional<int> RunRecordsDatabaseCommand(CLI::App &, const RecordsDatabaseOptions &,
                                             Console &) {
    return std::nullopt;
}

}  // namespace dekvanto::cli
