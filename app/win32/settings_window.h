// The "Settings" dialog (dialog IDD_SETTINGS) over one showing of the Settings dialog
// (core/window/settings_session.h): it fills its controls from what the session gives at opening,
// hands the controls' values to it at "OK" (or Enter) and forgets everything at "Cancel", Escape or
// the close box. The dialog never shows a message.
//
// The port box shows the session's ports in the order the source gives (sorted names, then the
// two fixed names appended).
#pragma once

#include <windows.h>

#include "core/window/settings_session.h"

namespace dekvanto::win32 {

// Runs the dialog modally over owner and returns when it has closed.
void RunSettingsDialog(HWND owner, core::SettingsSession &session);

}  // namespace dekvanto::win32
