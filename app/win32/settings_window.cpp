#include "win32/settings_window.h"

#include <string>

#include "win32/file_dialog.h"
#include "win32/resource_ids.h"

namespace dekvanto::win32 {
namespace {

void FillList(HWND dialog, int id, const core::SettingValues &list) {
    for (const core::SettingValue &value : list.values) {
        const std::string text(value.entry);
        SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void Select(HWND dialog, int id, int position) {
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int Selection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

std::string ControlText(HWND dialog, int id) {
    const HWND control = GetDlgItem(dialog, id);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Open(HWND dialog, core::SettingsSession &session) {
    FillList(dialog, IDC_SPEED, core::kSpeeds);
    FillList(dialog, IDC_PARITY, core::kParities);
    FillList(dialog, IDC_STOP_BITS, core::kStopBits);
    FillList(dialog, IDC_DATA_BITS, core::kDataBits);
    FillList(dialog, IDC_WAIT_STATES, core::kWaitStates);
    FillList(dialog, IDC_BUS_SIZE, core::kBusWidths);

    const core::SettingsDialogContents contents = session.Open();
    // Inserted at the end rather than added: the box has the sorted style, but the source has
    // already put the names in the program's order (the fixed names last, not sorted in).
    for (const core::PortEntry &entry : session.Ports()) {
        SendDlgItemMessageA(dialog, IDC_PORT_BOX, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(entry.name.c_str()));
    }
    Select(dialog, IDC_PORT_BOX, contents.port_selection);
    if (contents.port_selection < 0) {
        SetDlgItemTextA(dialog, IDC_PORT_BOX, "");
    }
    SetDlgItemTextA(dialog, IDC_LOADER_PATH, contents.loader_path.c_str());
    SetDlgItemTextA(dialog, IDC_LOADER_SIZE, contents.loader_size_text.c_str());
    Select(dialog, IDC_SPEED, contents.speed);
    Select(dialog, IDC_PARITY, contents.parity);
    Select(dialog, IDC_STOP_BITS, contents.stop_bits);
    Select(dialog, IDC_DATA_BITS, contents.data_bits);
    Select(dialog, IDC_WAIT_STATES, contents.wait_states);
    Select(dialog, IDC_BUS_SIZE, contents.ram_size);
    CheckDlgButton(dialog, IDC_ACKNOWLEDGE, contents.acknowledge ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PAUSE, contents.pause ? BST_CHECKED : BST_UNCHECKED);
}

void OnBrowseLoader(HWND dialog, core::SettingsSession &session) {
    const auto choose = [dialog](const core::FileDialog &file_dialog, const std::string &folder) {
        return ChooseFileToOpen(dialog, file_dialog, folder);
    };
    if (session.BrowseLoader(choose)) {
        SetDlgItemTextA(dialog, IDC_LOADER_PATH, session.Rules().EditedLoaderPath().c_str());
        SetDlgItemTextA(dialog, IDC_LOADER_SIZE, session.Rules().ShownLoaderSizeText().c_str());
    }
}

core::CurrentSettings ChosenSettings(HWND dialog) {
    core::CurrentSettings chosen;
    chosen.port_name = ControlText(dialog, IDC_PORT_BOX);
    chosen.speed = Selection(dialog, IDC_SPEED);
    chosen.parity = Selection(dialog, IDC_PARITY);
    chosen.stop_bits = Selection(dialog, IDC_STOP_BITS);
    chosen.data_bits = Selection(dialog, IDC_DATA_BITS);
    chosen.ram_size = Selection(dialog, IDC_BUS_SIZE);
    chosen.wait_states = Selection(dialog, IDC_WAIT_STATES);
    chosen.acknowledge = IsDlgButtonChecked(dialog, IDC_ACKNOWLEDGE) == BST_CHECKED ? 1 : 0;
    chosen.pause = IsDlgButtonChecked(dialog, IDC_PAUSE) == BST_CHECKED ? 1 : 0;
    return chosen;
}

void OnOk(HWND dialog, core::SettingsSession &session) {
    session.Ok(ChosenSettings(dialog));
    EndDialog(dialog, IDC_SETTINGS_OK);
}

void OnCancel(HWND dialog, core::SettingsSession &session) {
    session.Cancel();
    EndDialog(dialog, IDC_SETTINGS_CANCEL);
}

INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
        Open(dialog, *reinterpret_cast<core::SettingsSession *>(lparam));
        return TRUE;
    }
    auto *session = reinterpret_cast<core::SettingsSession *>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (session == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_SETTINGS_OK:
                case IDOK:
                    OnOk(dialog, *session);
                    return TRUE;
                case IDC_SETTINGS_CANCEL:
                case IDCANCEL:
                    OnCancel(dialog, *session);
                    return TRUE;
                case IDC_BROWSE_LOADER:
                    OnBrowseLoader(dialog, *session);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_CLOSE:
            OnCancel(dialog, *session);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunSettingsDialog(HWND owner, core::SettingsSession &session) {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), owner, SettingsProc,
                    reinterpret_cast<LPARAM>(&session));
}

}  // namespace dekvanto::win32
