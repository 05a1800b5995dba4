// The "Settings" dialog (dialog IDD_SETTINGS) over the Settings dialog's rules
// (core/settings_dialog.h): it fills its controls from what the rules say at opening, hands the
// controls' values to the rules at "OK" (or Enter) and forgets everything at "Cancel", Escape or
// the close box. The dialog never shows a message.
//
// The port box is filled from the port source each time the dialog opens, in the order the
// source gives (sorted names, then the two fixed names appended); a typed "COM<n>" that OK accepts
// is handed back to the source, which adds it to the system's port register.
#pragma once

#include <windows.h>

#include <string>

#include "core/port_list.h"
#include "core/settings_dialog.h"

namespace dekvanto::win32 {

// Runs the dialog modally over owner and returns when it has closed. Afterwards rules.Changed()
// tells whether OK changed the loader file, the bus width or the wait states.
void RunSettingsDialog(HWND owner, app::SettingsDialog &rules, app::PortSource &ports,
                       const std::string &program_directory);

}  // namespace dekvanto::win32
