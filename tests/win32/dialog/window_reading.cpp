#include "window_reading.h"

#include <commctrl.h>

namespace dekvanto::dialog_test {
namespace {

// Reads item `index` of a list (LB_GETTEXT) or combo box (CB_GETLBTEXT). The wide messages are
// used: Wine cannot carry the narrow ones' texts across processes.
std::string ItemText(HWND control, UINT length_message, UINT text_message, LRESULT index) {
    const auto length = SendMessageW(control, length_message, static_cast<WPARAM>(index), 0);
    if (length < 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(control, text_message, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(wide.data()));
    wide.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
    std::string text(wide.size() * 2 + 1, '\0');
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(),
                            static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(static_cast<size_t>(bytes > 0 ? bytes : 0));
    return text;
}

}  // namespace

std::string WindowText(HWND window) {
    const auto length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const auto copied =
        SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::string ControlText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

std::vector<std::string> ListLines(HWND dialog, int id) {
    const HWND list = GetDlgItem(dialog, id);
    const auto count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    std::vector<std::string> lines;
    for (LRESULT i = 0; i < count; ++i) {
        lines.push_back(ItemText(list, LB_GETTEXTLEN, LB_GETTEXT, i));
    }
    return lines;
}

int ListSelection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, LB_GETCURSEL, 0, 0));
}

std::vector<std::string> ComboEntries(HWND dialog, int id) {
    const HWND combo = GetDlgItem(dialog, id);
    const auto count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    std::vector<std::string> entries;
    for (LRESULT i = 0; i < count; ++i) {
        entries.push_back(ItemText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i));
    }
    return entries;
}

int ComboSelection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool Checked(HWND dialog, int id) {
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int ProgressPosition(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, PBM_GETPOS, 0, 0));
}

void Click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ClickCheckBox(HWND dialog, int id) {
    const bool checked = Checked(dialog, id);
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    Click(dialog, id);
}

void ChooseComboEntry(HWND dialog, int id, int position) {
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool WaitUntil(const std::function<bool()> &condition, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (!condition()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

}  // namespace dekvanto::dialog_test
