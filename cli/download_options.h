// The options of `vanto download`, as given on the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace dekvanto::cli {

struct DownloadOptions {
    std::vector<std::string> ports;  // COM<n>; several: one station each, in parallel
    std::string station_port;        // set by the parent for one station's process (hidden)
    std::optional<std::string> loader;
    std::optional<std::string> code;
    std::optional<std::string> perso;
    std::optional<int> speed;  // bit/s
    std::optional<std::string> parity;
    std::optional<int> stop_bits;    // 1 or 2
    std::optional<int> bus;          // 8 or 16
    std::optional<int> wait_states;  // 0 to 3
    bool blind = false;
    bool step = false;
    std::optional<int> reboot_delay;
    std::optional<std::string> settings_file;
    std::optional<std::string> product;
    std::optional<std::string> products_file;
    std::optional<std::string> trace_file;
    bool json = false;
};

// Adds the subcommand "download" with its options, filling options when parsed.
CLI::App *AddDownloadCommand(CLI::App &app, DownloadOptions &options);

}  // namespace dekvanto::cli
