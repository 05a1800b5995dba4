#include "win32/main_dialog.h"

#include <commctrl.h>

#include <array>

#include "core/settings/settings_file.h"
#include "core/window/string_table.h"
#include "win32/about_box.h"
#include "win32/file_dialog.h"
#include "win32/message_box.h"
#include "win32/resource_ids.h"
#include "win32/settings_window.h"

namespace dekvanto::win32 {
namespace {

// The template's control of each control identifier of the model, in the identifiers' order.
constexpr std::array<int, core::kWindowControlCount> kControlIds = {
    IDC_CODE_SWITCH,   IDC_CODE_PATH,    IDC_BROWSE_CODE, IDC_CODE_SIZE,
    IDC_CODE_CHECKSUM, IDC_PERSO_SWITCH, IDC_PERSO_PATH,  IDC_BROWSE_PERSO,
    IDC_PERSO_SIZE,    IDC_PRODUCT,      IDC_PORT,        IDC_PROPERTIES};

int IdOf(core::WindowControl control) {
    return kControlIds[static_cast<std::size_t>(control)];
}

// The caption is read back with room for this many characters before the release is appended.
constexpr int kCaptionLength = 49;

}  // namespace

MainDialog::MainDialog(const core::ProgramFiles &files, core::Engine &engine,
                       core::PortSource &ports)
    : model_(files, core::OpenSettingsFile(files.settings_file), engine, ports, *this) {}

MainDialog::~MainDialog() {
    if (small_icon_ != nullptr) {
        DestroyIcon(small_icon_);
    }
}

void MainDialog::Run(HINSTANCE instance) {
    icon_ = LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    small_icon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME),
                                                IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), 0));
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, DialogProc,
                    reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
}

INT_PTR CALLBACK MainDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto *dialog = reinterpret_cast<MainDialog *>(lparam);
        SetWindowLongPtrA(window, DWLP_USER, lparam);
        dialog->window_ = window;
    }
    auto *dialog = reinterpret_cast<MainDialog *>(GetWindowLongPtrA(window, DWLP_USER));
    return dialog == nullptr ? FALSE : dialog->Handle(message, wparam);
}

INT_PTR MainDialog::Handle(UINT message, WPARAM wparam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wparam), HIWORD(wparam)) ? TRUE : FALSE;
        case WM_TIMER:
            if (wparam == kFileWatchTimer) {
                model_.OnFileWatch();
            }
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == IDM_ABOUTBOX) {
                RunAboutBox(window_, model_.Files().ProgramDirectoryText());
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            OnCloseRequest();
            return TRUE;
        case WM_PAINT:
            if (IsIconic(window_)) {
                PaintMinimized();
                return TRUE;
            }
            return FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(icon_);
        case MX40_WM_BYTE_COUNT:
        case MX40_WM_LOG_LINE:
        case MX40_WM_PROGRESS_STEP:
            // Handled, then passed on to the dialog's default processing like every message.
            model_.OnEngineMessage(message, static_cast<uintptr_t>(wparam));
            return FALSE;
        default:
            return FALSE;
    }
}

bool MainDialog::OnCommand(int id, int notification) {
    switch (id) {
        case IDC_START_STOP:
            model_.OnStartStop();
            return true;
        case IDCANCEL:
            OnCloseRequest();
            return true;
        case IDC_BROWSE_CODE:
            model_.OnBrowseCodeFile();
            return true;
        case IDC_BROWSE_PERSO:
            model_.OnBrowsePersoFile();
            return true;
        case IDC_CODE_SWITCH:
            model_.OnCodeSwitch(Checked(IDC_CODE_SWITCH));
            return true;
        case IDC_PERSO_SWITCH:
            model_.OnPersoSwitch(Checked(IDC_PERSO_SWITCH));
            return true;
        case IDC_PROPERTIES:
            model_.OnProperties();
            return true;
        case IDC_PRODUCT:
            if (notification == CBN_SELCHANGE) {
                model_.OnProductSelected(static_cast<int>(
                    SendDlgItemMessageA(window_, IDC_PRODUCT, CB_GETCURSEL, 0, 0)));
            }
            return true;
        default:
            return false;
    }
}

void MainDialog::OnInitDialog() {
    AddAboutEntry();
    SetIcons();
    SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_SETSTEP, 1, 0);
    model_.Initialise();
}

void MainDialog::AddAboutEntry() {
    const std::string about(core::AppString(core::StringId::kAboutMenuEntry));
    const HMENU menu = GetSystemMenu(window_, FALSE);
    if (about.empty() || menu == nullptr) {
        return;
    }
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

void MainDialog::SetIcons() {
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(small_icon_ != nullptr ? small_icon_ : icon_));
}

void MainDialog::OnCloseRequest() {
    if (model_.OnCloseRequest()) {
        EndDialog(window_, IDCANCEL);
    }
}

void MainDialog::PaintMinimized() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window_, &paint);
    SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window_, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(window_, &paint);
}

bool MainDialog::Checked(int id) const {
    return IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

void MainDialog::Enable(core::WindowControl control, bool on) {
    EnableWindow(GetDlgItem(window_, IdOf(control)), on ? TRUE : FALSE);
}

void MainDialog::SetChecked(core::WindowControl control, bool checked) {
    CheckDlgButton(window_, IdOf(control), checked ? BST_CHECKED : BST_UNCHECKED);
}

void MainDialog::SetText(core::WindowControl control, std::string_view text) {
    SetDlgItemTextA(window_, IdOf(control), std::string(text).c_str());
}

void MainDialog::SetProductEntries(const std::vector<std::string> &entries) {
    SendDlgItemMessageA(window_, IDC_PRODUCT, CB_RESETCONTENT, 0, 0);
    for (const std::string &entry : entries) {
        SendDlgItemMessageA(window_, IDC_PRODUCT, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(entry.c_str()));
    }
}

void MainDialog::SelectProduct(int position) {
    SendDlgItemMessageA(window_, IDC_PRODUCT, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

std::string MainDialog::Caption() {
    char caption[kCaptionLength + 1] = {};
    GetWindowTextA(window_, caption, sizeof caption);
    return caption;
}

void MainDialog::SetCaption(std::string_view caption) {
    SetWindowTextA(window_, std::string(caption).c_str());
}

std::string MainDialog::ChooseFile(const core::FileDialog &dialog, const std::string &folder) {
    return ChooseFileToOpen(window_, dialog, folder);
}

void MainDialog::RunSettingsDialog(core::SettingsSession &session) {
    win32::RunSettingsDialog(window_, session);
}

void MainDialog::SetButtonText(std::string_view text) {
    SetDlgItemTextA(window_, IDC_START_STOP, std::string(text).c_str());
}

void MainDialog::ResetProgress() {
    SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_SETSTEP, 1, 0);
}

void MainDialog::StepProgress() {
    SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_STEPIT, 0, 0);
}

void MainDialog::SetByteCounterText(std::string_view text) {
    SetDlgItemTextA(window_, IDC_BYTE_COUNTER, std::string(text).c_str());
}

void MainDialog::AddLogLine(std::string_view text) {
    const HWND log = GetDlgItem(window_, IDC_LOG);
    const LRESULT index =
        SendMessageA(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(text).c_str()));
    SendMessageA(log, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Repaint();
}

void MainDialog::ShowMessage(std::string_view text) {
    ShowBox(window_, text);
}

void MainDialog::StopFileWatch() {
    KillTimer(window_, kFileWatchTimer);
}

void MainDialog::StartFileWatch() {
    SetTimer(window_, kFileWatchTimer, core::kFileWatchPeriodMs, nullptr);
}

void MainDialog::Repaint() {
    // While the engine runs, the window paints only when told: the controls too, at once.
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace dekvanto::win32
