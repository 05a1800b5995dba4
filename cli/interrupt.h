// Ctrl-C (SIGINT) during a download. The handler does only what a signal handler may: it counts
// the request, clears the engine's running flag through Mxl40_StartStop(0) (a plain store of an
// integer in the engine; its address was taken before the download), and passes the signal on to
// the station processes. The engine then ends at its next test of the flag, closes the port and
// drops DTR; the tool's event dispatch also tells the download control, so the log shows the
// cancel line as the window does. A second Ctrl-C repeats the same harmless store.
//
// Installed without SA_RESTART: a wait for Enter at a step-mode prompt ends at once.
#pragma once

#include <sys/types.h>

#include <vector>

#include "dekvanto/mx40.h"

namespace vanto {

class InterruptGuard {
  public:
    // Installs the handler; start_stop may be null (nothing to tell the engine).
    explicit InterruptGuard(Mxl40_StartStop_Fn start_stop);
    // Puts the previous handler back.
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // Processes that get every SIGINT passed on (at most 64).
    void ForwardTo(const std::vector<pid_t> &processes);
};

// The number of SIGINTs since the guard was installed.
int InterruptCount();

// A descriptor that becomes readable at every SIGINT while a guard is installed (one byte per
// signal), so that a wait for input can wait for Ctrl-C too without missing one that came just
// before it; -1 when none could be made.
int InterruptDescriptor();

}  // namespace vanto
