// DEKVANTO's message boxes: modal, an OK button and the exclamation icon, the program's name (its
// file name without extension, "DEKVANTO") as caption, owned by the main window while it exists.
#pragma once

#include <windows.h>

#include <string_view>

namespace dekvanto::win32 {

// Returns when the user has closed the box. owner may be null (before the main window exists).
void ShowBox(HWND owner, std::string_view text);

}  // namespace dekvanto::win32
