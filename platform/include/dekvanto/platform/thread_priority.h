// The one thread of DEKVANTO runs the window and, inside the engine's download call, the whole
// serial protocol. Start-up raises its priority as far as the system allows without privileges.
#pragma once

namespace dekvanto::platform {

// Windows: THREAD_PRIORITY_HIGHEST for the calling thread (SetThreadPriority).
// Linux: lowers the calling thread's nice value by up to two steps (the highest normal priority
// that an unprivileged user may get, within RLIMIT_NICE).
// A refusal is ignored: the program runs at its normal priority. True when the priority was
// raised.
bool RaiseThreadPriority();

}  // namespace dekvanto::platform
