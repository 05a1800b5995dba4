#include <windows.h>

#include "dekvanto/platform/thread_priority.h"

namespace dekvanto::platform {

bool RaiseThreadPriority() {
    return ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
}

}  // namespace dekvanto::platform
