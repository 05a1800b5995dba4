// The About box (dialog IDD_ABOUTBOX, "About DEK VANTO"): the program icon, the version text of
// the version file and a notice line. The version file is read afresh at every opening; an absent
// or unreadable file shows an empty version text.
#pragma once

#include <windows.h>

#include <string>

namespace dekvanto::win32 {

// Runs the box modally over owner; returns when "OK", Enter, Escape or the close box closed it.
void RunAboutBox(HWND owner, const std::string &program_directory);

}  // namespace dekvanto::win32
