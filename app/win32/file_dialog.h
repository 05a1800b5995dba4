// The system's open-file dialog (GetOpenFileNameA) as DEKVANTO asks for its files.
#pragma once

#include <windows.h>

#include <string>

#include "core/window/file_dialogs.h"

namespace dekvanto::win32 {

// Shows `dialog` over owner with its filter as "binary File (*.bin)|*.bin|All Files (*.*)|*.*||"
// (the first entry selected) and `folder` as the starting folder (the system's choice when
// empty); no default extension, no preset name. The read-only check box is shown. Returns the
// chosen file's full path, or "" when the user cancelled.
std::string ChooseFileToOpen(HWND owner, const core::FileDialog &dialog, const std::string &folder);

}  // namespace dekvanto::win32
