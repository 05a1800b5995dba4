#include "sim/program_run.h"

#include <chrono>
#include <utility>

#include "sim/cli_options.h"

namespace dekvanto::sim {
namespace {

constexpr std::chrono::milliseconds kLook{100};
constexpr std::chrono::seconds kStopGrace{5};

void PrintUnits(PhoneSimulator &phone, std::chrono::milliseconds wait, std::ostream &out) {
    for (const UnitReport &report : phone.TakeUnits(wait)) {
        out << UnitLine(report) << std::endl;
    }
}

bool SignalCame(const sigset_t &signals) {
    const timespec no_wait{0, 0};
    return ::sigtimedwait(&signals, nullptr, &no_wait) > 0;
}

}  // namespace

int FollowPhone(PhoneSimulator &phone, const sigset_t &signals, std::ostream &out,
                std::ostream &err, const std::string &program) {
    Summary summary;
    for (;;) {
        PrintUnits(phone, kLook, out);
        if (auto ended = phone.Wait(std::chrono::milliseconds(0))) {
            summary = *ended;
            break;
        }
        if (SignalCame(signals)) {
            phone.Stop();
            summary = phone.Finish(kStopGrace);
            break;
        }
    }
    PrintUnits(phone, std::chrono::milliseconds(0), out);
    for (const std::string &found : summary.errors) {
        err << program << ": " << found << std::endl;
    }
    if (!summary.complete) {
        err << program << ": download not complete (" << EndReasonName(summary.end)
            << " while waiting for " << summary.waiting_for << ")" << std::endl;
    }
    out << "END " << (summary.consistent ? "consistent" : "inconsistent") << std::endl;
    return summary.consistent ? kExitConsistent : kExitInconsistent;
}

int RunPhoneUntilStopped(PhoneConfig config, UnitPlan plan, std::ostream &out, std::ostream &err,
                         const std::string &program) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);

    PhoneSimulator phone(std::move(config), std::move(plan));
    if (!phone.Start()) {
        err << program << ": " << phone.SetupError() << std::endl;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return kExitSetup;
    }
    out << "READY COM" << phone.PortNumber() << ' ' << phone.SlavePath() << std::endl;
    const int status = FollowPhone(phone, signals, out, err, program);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return status;
}

}  // namespace dekvanto::sim
