#include <signal.h>

#include <ostream>

#include "exit_status.h"
#include "info_commands.h"
#include "sim/cli_options.h"
#include "sim/phone_simulator.h"
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
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);

    dekvanto::sim::PhoneSimulator phone(options->config, options->plan);
    if (!phone.Start()) {
        console.err << "vanto simulate: " << phone.SetupError() << std::endl;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return dekvanto::sim::kExitSetup;
    }
    console.out << "READY COM" << phone.PortNumber() << ' ' << phone.SlavePath() << std::endl;
    const int status =
        dekvanto::sim::FollowPhone(phone, signals, console.out, console.err, "vanto simulate");
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return status;
}

}  // namespace dekvanto::cli
