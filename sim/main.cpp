// vanto-phone-sim: one simulated phone for one download, on a registered COM port.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/cli_options.h"
#include "sim/phone_simulator.h"

namespace {

// Waits for the session, turning SIGINT, SIGTERM and SIGHUP into a stop.
dekvanto::sim::Summary WaitForSession(dekvanto::sim::PhoneSimulator &phone,
                                      const sigset_t &signals) {
    for (;;) {
        if (auto summary = phone.Wait(std::chrono::milliseconds(100))) {
            return *summary;
        }
        const timespec no_wait{0, 0};
        if (::sigtimedwait(&signals, nullptr, &no_wait) > 0) {
            phone.Stop();
            return phone.Finish(std::chrono::seconds(5));
        }
    }
}

}  // namespace

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

    // The signals are taken by WaitForSession, in every thread blocked from here on.
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

    dekvanto::sim::PhoneSimulator phone(options->config);
    if (!phone.Start()) {
        std::fprintf(stderr, "vanto-phone-sim: %s\n", phone.SetupError().c_str());
        return dekvanto::sim::kExitSetup;
    }
    std::printf("READY COM%d %s\n", phone.PortNumber(), phone.SlavePath().c_str());
    std::fflush(stdout);

    const dekvanto::sim::Summary summary = WaitForSession(phone, signals);
    for (const std::string &found : summary.errors) {
        std::fprintf(stderr, "vanto-phone-sim: %s\n", found.c_str());
    }
    if (!summary.complete) {
        std::fprintf(stderr, "vanto-phone-sim: download not complete (%s while waiting for %s)\n",
                     std::string(dekvanto::sim::EndReasonName(summary.end)).c_str(),
                     summary.waiting_for.c_str());
    }
    std::printf("END %s\n", summary.consistent ? "consistent" : "inconsistent");
    std::fflush(stdout);
    return summary.consistent ? dekvanto::sim::kExitConsistent : dekvanto::sim::kExitInconsistent;
}
