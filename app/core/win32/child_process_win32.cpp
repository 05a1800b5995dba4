#include <windows.h>

#include <string>

#include "core/bench/child_process.h"

namespace dekvanto::core {

// A Windows bench child watches its parent itself (vanto's stations do) and takes Ctrl-C through
// its stop event; a front end reaches it through vanto's own means.
void PrepareBenchChild() {}

void AdoptBenchChild(long) {}

void InterruptBenchChild(long process_id) {
    const std::string name = "Local\\dekvanto-vanto-stop-" + std::to_string(process_id);
    if (const HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, name.c_str())) {
        ::SetEvent(event);
        ::CloseHandle(event);
    }
}

}  // namespace dekvanto::core
