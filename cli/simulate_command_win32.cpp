#include <ostream>

#include "exit_status.h"
#include "info_commands.h"

namespace dekvanto::cli {

int RunSimulate(const std::vector<std::string> &, Console &console) {
    console.err << "vanto simulate: the phone simulator needs pseudo-terminals and runs on Linux; "
                   "start it there and give Wine's COM<n> its terminal"
                << std::endl;
    return kBadUsage;
}

}  // namespace dekvanto::cli
