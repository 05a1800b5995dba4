#include "dekvanto/platform/interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "interrupt_wake.h"

namespace dekvanto::platform {
namespace {

// The signals taken as a Ctrl-C.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t interrupts = 0;
Mxl40_StartStop_Fn volatile engine_start_stop = nullptr;
pid_t forwarded[kMostForwarded];
volatile sig_atomic_t forwarded_count = 0;
struct sigaction previous[3];
int wake_pipe[2] = {-1, -1};

void OnInterrupt(int) {
    const int saved_errno = errno;
    interrupts = interrupts + 1;
    if (wake_pipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto ignored = ::write(wake_pipe[1], &byte, 1);
    }
    if (engine_start_stop != nullptr) {
        engine_start_stop(0);
    }
    for (int i = 0; i < forwarded_count; ++i) {
        ::kill(forwarded[i], SIGINT);
    }
    if (interrupts == 2) {
        static const char kNote[] = "vanto: stopping; the engine ends at its next check\n";
        [[maybe_unused]] const auto ignored = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
    }
    errno = saved_errno;
}

}  // namespace

InterruptGuard::InterruptGuard(Mxl40_StartStop_Fn start_stop) {
    interrupts = 0;
    forwarded_count = 0;
    engine_start_stop = start_stop;
    if (wake_pipe[0] < 0 && ::pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_pipe[0] = wake_pipe[1] = -1;
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kStopSignals[i], &action, &previous[i]);
    }
}

void InterruptGuard::EndWithParent() {
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent || parent == 1) {
        OnInterrupt(SIGTERM);  // it had gone already
    }
}

InterruptGuard::~InterruptGuard() {
    if (interrupts > 0) {
        // A Ctrl-C was taken and the program is on its way out: a second one (a bench station
        // gets the terminal's own and the copy its bench passes on) must not kill it there.
        struct sigaction ignore;
        std::memset(&ignore, 0, sizeof ignore);
        ignore.sa_handler = SIG_IGN;
        for (const int signal : kStopSignals) {
            ::sigaction(signal, &ignore, nullptr);
        }
    } else {
        for (int i = 0; i < 3; ++i) {
            ::sigaction(kStopSignals[i], &previous[i], nullptr);
        }
    }
    engine_start_stop = nullptr;
    forwarded_count = 0;
    for (int &end : wake_pipe) {
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
    }
}

void InterruptGuard::ForwardTo(const std::vector<long> &processes) {
    forwarded_count = 0;
    int count = 0;
    for (const long pid : processes) {
        if (count == kMostForwarded) {
            break;
        }
        forwarded[count++] = static_cast<pid_t>(pid);
    }
    forwarded_count = count;
}

void InterruptProcess(long process) {
    ::kill(static_cast<pid_t>(process), SIGINT);
}

int InterruptCount() {
    return interrupts;
}

int InterruptWakeDescriptor() {
    return wake_pipe[0];
}

bool SleepUnlessInterrupted(std::chrono::milliseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    for (;;) {
        if (InterruptCount() > 0) {
            return false;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd wake = {wake_pipe[0], POLLIN, 0};
        ::poll(&wake, wake.fd >= 0 ? 1 : 0, static_cast<int>(left.count()));
    }
}

bool WaitForEnter(int fd) {
    for (;;) {
        if (InterruptCount() > 0) {
            return false;
        }
        // The wake pipe becomes readable at every SIGINT, so a Ctrl-C that came just before the
        // poll is not missed.
        pollfd watched[2] = {{fd, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
        if (::poll(watched, watched[1].fd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) {
            return true;
        }
        if (InterruptCount() > 0) {
            return false;
        }
        if (watched[0].revents != 0) {
            char c = 0;
            const ssize_t got = ::read(fd, &c, 1);
            if (got <= 0 && !(got < 0 && errno == EINTR)) {
                return true;
            }
            if (got == 1 && c == '\n') {
                return true;
            }
        }
    }
}

}  // namespace dekvanto::platform
