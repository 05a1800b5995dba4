// vanto-phone-sim: one simulated phone for one download, or phones that come and go unit after
// unit, on a registered COM port.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "sim/cli_options.h"
#include "sim/phone_simulator.h"
#include "sim/program_run.h"

int main(int argc, char **argv) {
    std::string error;
    const auto options =
        dekvanto::sim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "vanto-phone-sim: %s\n(see vanto-phone-sim --help)\n", error.c_str());
        return dekvanto::sim::kExitUsage;
    }
    if (options->help) {
        std::fputs(dekvanto::sim::UsageText().c_str(), stdout);
        return dekvanto::sim::kExitConsistent;
    }

    // The signals are taken by FollowPhone, in every thread blocked from here on.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (options->config.own_terminal) {
        // The line is this session's terminal: its hang-up at the end is no stop request.
        signal(SIGHUP, SIG_IGN);
        if (::setsid() < 0 && ::getsid(0) != ::getpid()) {
            std::perror("vanto-phone-sim: starting a session of its own");
            return dekvanto::sim::kExitSetup;
        }
    } else {
        sigaddset(&signals, SIGHUP);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    dekvanto::sim::PhoneSimulator phone(options->config, options->plan);
    if (!phone.Start()) {
        std::fprintf(stderr, "vanto-phone-sim: %s\n", phone.SetupError().c_str());
        return dekvanto::sim::kExitSetup;
    }
    std::cout << "READY COM" << phone.PortNumber() << ' ' << phone.SlavePath() << std::endl;

    return dekvanto::sim::FollowPhone(phone, signals, std::cout, std::cerr, "vanto-phone-sim");
}
