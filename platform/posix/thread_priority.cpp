#include "dekvanto/platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace dekvanto::platform {

bool RaiseThreadPriority() {
#if defined(__linux__)
    // On Linux the nice value belongs to the thread named by its id.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
#else
    const id_t thread = 0;
#endif
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (current == -1 && errno != 0) {
        return false;
    }
    for (int step = 2; step >= 1; --step) {
        if (::setpriority(PRIO_PROCESS, thread, current - step) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace dekvanto::platform
