#include <signal.h>

#include <chrono>
#include <ostream>

#include "exit_status.h"
#include "info_commands.h"
#include "sim/cli_options.h"
#include "sim/phone_simulator.h"

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

    dekvanto::sim::PhoneSimulator phone(options->config);
    if (!phone.Start()) {
        console.err << "vanto simulate: " << phone.SetupError() << std::endl;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return dekvanto::sim::kExitSetup;
    }
    console.out << "READY COM" << phone.PortNumber() << ' ' << phone.SlavePath() << std::endl;
    dekvanto::sim::Summary summary;
    for (;;) {
        if (auto ended = phone.Wait(std::chrono::milliseconds(100))) {
            summary = *ended;
            break;
        }
        const timespec no_wait{0, 0};
        if (::sigtimedwait(&signals, nullptr, &no_wait) > 0) {
            phone.Stop();
            summary = phone.Finish(std::chrono::seconds(5));
            break;
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    for (const std::string &found : summary.errors) {
        console.err << "vanto simulate: " << found << std::endl;
    }
    console.out << "END " << (summary.consistent ? "consistent" : "inconsistent") << std::endl;
    return summary.consistent ? dekvanto::sim::kExitConsistent : dekvanto::sim::kExitInconsistent;
}

}  // namespace dekvanto::cli
