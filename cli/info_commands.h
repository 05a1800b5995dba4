// The commands that look without downloading: the mapping check of two files, the port list,
// the product list; and the phone simulator.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console.h"

namespace dekvanto::cli {

// check-map CODE PERSO: the engine's CheckMapCompat, its lines as the window's log shows them.
// 0 when the files agree, else the mapping check's status (exit_status.h).
int RunCheckMap(const std::string &code, const std::string &perso, Console &console,
                const Context &context);

// ports: every port of the register with its device and USB product name. assign "COM<n>=DEVICE":
// first makes COM<n> lead to DEVICE (refused when COM<n> already leads elsewhere, and when DEVICE
// is no character device named by its absolute path: platform::RefusalOfDevice).
int RunPorts(const std::optional<std::string> &assign, Console &console);

// products: the products of a list file with their fields, then the lines that were skipped.
int RunProducts(const std::string &list_file, Console &console);

// simulate ARGS: the phone simulator with the options of vanto-phone-sim.
int RunSimulate(const std::vector<std::string> &args, Console &console);

}  // namespace dekvanto::cli
