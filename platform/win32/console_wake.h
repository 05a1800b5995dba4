// How a Ctrl-C reaches the tool's hidden window: the console control handler runs on a thread
// of its own and posts kInterruptMessage to the window, whose procedure then runs on the
// download's thread, inside the engine's message dispatch. Waits on handles take its event.
#pragma once

#include <windows.h>

namespace dekvanto::platform {

inline constexpr UINT kInterruptMessage = WM_APP + 1;

// The window woken at every Ctrl-C from now on; null: none.
void WakeOnInterrupt(HWND window);

// An event (manual reset) that is set at the first Ctrl-C while an InterruptGuard is installed,
// for waits on handles; null while none is.
HANDLE InterruptEvent();

}  // namespace dekvanto::platform
