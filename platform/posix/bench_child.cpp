#include "dekvanto/platform/bench_child.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace dekvanto::platform {

void PrepareBenchChild() {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}

void AdoptBenchChild(long process_id) {
    if (process_id > 0) {
        ::setpgid(static_cast<pid_t>(process_id), static_cast<pid_t>(process_id));
    }
}

void InterruptBenchChild(long process_id) {
    if (process_id > 0) {
        ::kill(-static_cast<pid_t>(process_id), SIGINT);
    }
}

}  // namespace dekvanto::platform
