#include <windows.h>

#include "core/download/thread_priority.h"

namespace dekvanto::core {

bool RaiseThreadPriority() {
    return ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
}

}  // namespace dekvanto::core
