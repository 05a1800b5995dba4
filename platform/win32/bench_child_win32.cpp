#include "dekvanto/platform/bench_child.h"
#include "dekvanto/platform/interrupt.h"

namespace dekvanto::platform {

// A Windows bench child watches its parent itself (vanto's stations do) and takes Ctrl-C through
// its stop event; a front end reaches it through vanto's own means.
void PrepareBenchChild() {}

void AdoptBenchChild(long) {}

void InterruptBenchChild(long process_id) {
    InterruptProcess(process_id);
}

}  // namespace dekvanto::platform
