// The log lines that end a download attempt: the engine's download result and the mapping
// check's result, each turned into string table lines in the order they are added.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/window/string_table.h"

namespace dekvanto::core {

// Lines for the result of Mxl40_Download (its low 16 bits):
//   '2' -> "DOWNLOAD COMPLETED" when acknowledged (the Acknowledge option is 1), else "DATA
//          FULLY SENT" (blind mode: the phone confirmed nothing);
//   '3', '4' -> "DOWNLOAD CANCELED" alone;
//   a failure with a line of its own -> "DOWNLOAD ERROR", then that line;
//   anything else ('>' included) -> "DOWNLOAD ERROR  UNKNOWN" alone.
std::vector<StringId> DownloadResultLines(int32_t result, bool acknowledged);

struct MapCheckLines {
    std::vector<StringId> lines;
    bool download_goes_on = false;  // only for MX40_MAP_COMPATIBLE
};

// Lines for the result of CheckMapCompat: 10 goes on with "Mapping compatibility is OK"; 11 and
// 15 give their line then "DOWNLOAD ERROR"; 12 and 13 "DOWNLOAD ERROR" then theirs; any other
// value "DOWNLOAD ERROR  UNKNOWN".
MapCheckLines MapCheckResultLines(int32_t result);

}  // namespace dekvanto::core
