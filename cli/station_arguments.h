// The command line of one station's process, for a download on several ports and for a bench
// alike: this program's own arguments, then "--station-port" and the station's port.
#pragma once

#include <string>
#include <vector>

namespace dekvanto::cli {

inline std::vector<std::string> StationArguments(const std::vector<std::string> &args,
                                                 const std::string &port) {
    std::vector<std::string> station_args(args);
    station_args.insert(station_args.end(), {"--station-port", port});
    return station_args;
}

}  // namespace dekvanto::cli
