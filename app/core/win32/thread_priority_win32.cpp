#include <windows.h>

#include "core/thread_priority.h"

namespace dekvanto::app {

bool RaiseThreadPriority() {
    return ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
}

}  // namespace dekvanto::app
