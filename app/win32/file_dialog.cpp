#include "win32/file_dialog.h"

#include <commdlg.h>

#include <vector>

namespace dekvanto::win32 {

std::string ChooseFileToOpen(HWND owner, const core::FileDialog &dialog,
                             const std::string &folder) {
    // The filter's names and patterns, each ended by a NUL, and the whole by a second one.
    const std::string pattern(dialog.pattern);
    std::string filter = std::string(dialog.type_name) + " (" + pattern + ")";
    for (const std::string &piece : {pattern, std::string("All Files (*.*)"), std::string("*.*")}) {
        filter.push_back('\0');
        filter += piece;
    }
    filter.append(2, '\0');
    const std::string title(dialog.title);
    std::vector<char> chosen(MAX_PATH * 4, '\0');

    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = chosen.data();
    request.nMaxFile = static_cast<DWORD>(chosen.size());
    request.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    request.lpstrTitle = title.c_str();
    request.Flags = OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!GetOpenFileNameA(&request)) {
        return {};
    }
    return chosen.data();
}

}  // namespace dekvanto::win32
