#include <ostream>

#include "exit_status.h"
#include "info_commands.h"
#include "sim/cli_options.h"
#include "sim/program_run.h"

namespace dekvanto::cli {

int RunSimulate(const std::vector<std::string> &args, Console &console) {
    std::string error;
    const auto options = dekvanto::sim::ParseCommandLine(args, error);
    if (!options) {
        console.err << "vanto simulate: " << error << std::endl;
        return kBadUsage;
    }
    if (options->help) {
        console.out << dekvanto::sim::UsageText();
        return kFinished;
    }
    return dekvanto::sim::RunPhoneUntilStopped(options->config, options->plan, console.out,
                                               console.err, "vanto simulate");
}

}  // namespace dekvanto::cli
