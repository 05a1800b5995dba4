// Ctrl-C during a download. The handler does only what its context allows: it counts the
// request and clears the engine's running flag through Mxl40_StartStop(0) (a plain store of an
// integer in the engine; its address was taken before the download). The engine then ends at its
// next test of the flag, closes the port and drops DTR; the tool's event dispatch also tells the
// download control, so the log shows the cancel line as the window does. A second Ctrl-C repeats
// the same harmless store.
//
// POSIX: a handler of SIGINT, and of SIGTERM and SIGHUP (a session that ends, a service manager
// that stops the tool: the running unit is stopped and recorded as at Ctrl-C), installed without
// SA_RESTART so that a wait for Enter at a step-mode prompt ends at once; every one is passed on
// to the station processes as SIGINT (ForwardTo).
// Windows: a console control handler (SetConsoleCtrlHandler) for Ctrl-C and Ctrl-Break. It runs
// on a thread of its own that the system starts; it also wakes the tool's hidden window
// (console_window.h) so that the stop reaches the download control inside the engine's message
// dispatch. Station processes run in a process group of their own, which the console's Ctrl-C
// does not reach: the parent passes each Ctrl-C on (ForwardTo) through the station's stop event,
// named after its process id, which a thread of the station's guard watches. So a station sees
// each Ctrl-C once, also when no console is attached (a program that runs the bench over pipes).
#pragma once

#include <chrono>
#include <vector>

#include "dekvanto/mx40.h"

namespace dekvanto::platform {

// The most processes that ForwardTo passes each Ctrl-C on to.
inline constexpr int kMostForwarded = 64;

class InterruptGuard {
  public:
    // Installs the handler; start_stop may be null (nothing to tell the engine).
    explicit InterruptGuard(Mxl40_StartStop_Fn start_stop);
    // Puts the previous handling back.
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // Processes that get every Ctrl-C passed on (at most kMostForwarded; process ids). Windows
    // passes it on through each process's stop event, which its own guard watches.
    void ForwardTo(const std::vector<long> &processes);

    // A station's process: the end of its parent (killed, crashed) counts as a Ctrl-C, so that a
    // station never goes on flashing phones with nobody watching, and its running unit is recorded
    // as stopped. POSIX: the parent's death sends SIGTERM, which the guard takes as it takes
    // SIGINT; Windows: the guard's thread waits on the parent's process too.
    void EndWithParent();
};

// Passes one Ctrl-C on to one process, the way ForwardTo passes on each: a bench station that the
// operator stops ends as if Ctrl-C had reached it alone.
void InterruptProcess(long process);

// The number of Ctrl-C requests since the guard was installed.
int InterruptCount();

// Sleeps for `time`, or less when Ctrl-C comes first (false then).
bool SleepUnlessInterrupted(std::chrono::milliseconds time);

// Waits for a line on the standard input (descriptor fd), or for Ctrl-C. True when a line or the
// end of the input came, false when Ctrl-C ended the wait.
bool WaitForEnter(int fd);

}  // namespace dekvanto::platform
