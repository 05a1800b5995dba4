#include "win32/file_dialog.h"

#include <commdlg.h>

#include <vector>

namespace dekvanto::win32 {

std::string ChooseFileToOpen(HWND owner, const char *title, std::string_view filter,
                             const std::string &folder) {
    // The dialog wants the filter's parts separated by NULs and ended by two.
    std::string filter_text(filter);
    for (char &c : filter_text) {
        if (c == '|') {
            c = '\0';
        }
    }
    filter_text.push_back('\0');
    std::vector<char> chosen(MAX_PATH * 4, '\0');

    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter_text.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = chosen.data();
    request.nMaxFile = static_cast<DWORD>(chosen.size());
    request.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    request.lpstrTitle = title;
    request.Flags = OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!GetOpenFileNameA(&request)) {
        return {};
    }
    return chosen.data();
}

std::string FolderOfFile(const std::string &path) {
    const auto last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

}  // namespace dekvanto::win32
