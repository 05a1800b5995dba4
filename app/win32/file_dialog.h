// The system's open-file dialog (GetOpenFileNameA) as DEKVANTO asks for its files.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace dekvanto::win32 {

// Shows the dialog with `title`, the filter in the "name|pattern|name|pattern||" form (its first
// entry selected) and `folder` as the starting folder (the system's choice when empty); no
// default extension, no preset name. The read-only check box is shown. Returns the chosen file's
// full path, or "" when the user cancelled.
std::string ChooseFileToOpen(HWND owner, const char *title, std::string_view filter,
                             const std::string &folder);

// The folder a file dialog starts in for a file: its path up to, not including, the last
// backslash (or slash); "" when the path has none.
std::string FolderOfFile(const std::string &path);

}  // namespace dekvanto::win32
