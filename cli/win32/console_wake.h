// How a Ctrl-C reaches the tool's hidden window: the console control handler runs on a thread
// of its own and posts kInterruptMessage to the window, whose procedure then runs on the
// download's thread, inside the engine's message dispatch.
#pragma once

#include <windows.h>

namespace dekvanto::cli {

inline constexpr UINT kInterruptMessage = WM_APP + 1;

// The window woken at every Ctrl-C from now on; null: none.
void WakeOnInterrupt(HWND window);

}  // namespace dekvanto::cli
