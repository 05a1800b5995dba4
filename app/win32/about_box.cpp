#include "win32/about_box.h"

#include "core/window/version_caption.h"
#include "win32/resource_ids.h"

namespace dekvanto::win32 {
namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto *directory = reinterpret_cast<const std::string *>(lparam);
            const std::string version = core::AboutVersionText(*directory);
            SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, version.c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDC_ABOUT_OK || LOWORD(wparam) == IDOK ||
                LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wparam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunAboutBox(HWND owner, const std::string &program_directory) {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), owner, AboutProc,
                    reinterpret_cast<LPARAM>(&program_directory));
}

}  // namespace dekvanto::win32
