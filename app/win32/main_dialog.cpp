#include "win32/main_dialog.h"

#include <commctrl.h>

#include "core/settings_file.h"
#include "core/string_table.h"
#include "core/version_caption.h"
#include "core/window_target.h"
#include "win32/about_box.h"
#include "win32/file_dialog.h"
#include "win32/message_box.h"
#include "win32/resource_ids.h"
#include "win32/settings_window.h"

namespace dekvanto::win32 {
namespace {

constexpr const char *kCodeTitle = "Select Application File for Download";
constexpr const char *kCodeFilter = "binary File (*.bin)|*.bin|All Files (*.*)|*.*||";
constexpr const char *kPersoTitle = "Select Personalization File for Download";
constexpr const char *kPersoFilter = "binary File (*.psb)|*.psb|All Files (*.*)|*.*||";
// The caption is read back with room for this many characters before the release is appended.
constexpr int kCaptionLength = 49;

}  // namespace

MainDialog::MainDialog(const app::ProgramFiles &files, app::Engine &engine, app::PortSource &ports)
    : files_(files),
      engine_(engine),
      ports_(ports),
      store_(app::OpenSettingsFile(files.settings_file)),
      settings_(app::ReadCurrentSettings(*store_)),
      records_([this](std::string_view text) { ShowMessage(text); }),
      settings_rules_(settings_, records_.loader, *store_),
      products_(std::make_unique<app::ProductSelection>(app::ProductTable{},
                                                        files.ProgramDirectoryText())),
      control_(std::make_unique<app::DownloadControl>(engine_, *this, settings_, records_,
                                                      switches_, *store_)) {}

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
                OnFileWatch();
            }
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == IDM_ABOUTBOX) {
                RunAboutBox(window_, files_.ProgramDirectoryText());
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
            control_->OnEngineMessage(message, static_cast<uintptr_t>(wparam));
            return FALSE;
        default:
            return FALSE;
    }
}

bool MainDialog::OnCommand(int id, int notification) {
    switch (id) {
        case IDC_START_STOP:
            OnStartStop();
            return true;
        case IDCANCEL:
            OnCloseRequest();
            return true;
        case IDC_BROWSE_CODE:
            OnBrowseCodeFile();
            return true;
        case IDC_BROWSE_PERSO:
            OnBrowsePersoFile();
            return true;
        case IDC_CODE_SWITCH:
            OnCodeSwitch();
            return true;
        case IDC_PERSO_SWITCH:
            OnPersoSwitch();
            return true;
        case IDC_PROPERTIES:
            OnProperties();
            return true;
        case IDC_PRODUCT:
            if (notification == CBN_SELCHANGE) {
                OnProductSelected();
            }
            return true;
        default:
            return false;
    }
}

void MainDialog::OnInitDialog() {
    CheckDlgButton(window_, IDC_CODE_SWITCH, switches_.code ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_PERSO_SWITCH, switches_.perso ? BST_CHECKED : BST_UNCHECKED);
    OnPersoSwitch();
    AddAboutEntry();
    SetIcons();
    SendDlgItemMessageA(window_, IDC_PROGRESS, PBM_SETSTEP, 1, 0);

    records_.LoadFilePaths(*store_);
    records_.SummariseAllFiles(*store_);
    LoadProducts();
    ShowFileSummary();
    AppendReleaseToCaption();
    StartFileWatch();
}

void MainDialog::AddAboutEntry() {
    const std::string about(app::AppString(app::StringId::kAboutMenuEntry));
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

void MainDialog::LoadProducts() {
    products_ = std::make_unique<app::ProductSelection>(app::LoadProductList(files_.product_list),
                                                        files_.ProgramDirectoryText());
    SendDlgItemMessageA(window_, IDC_PRODUCT, CB_RESETCONTENT, 0, 0);
    for (const std::string &entry : products_->Entries()) {
        SendDlgItemMessageA(window_, IDC_PRODUCT, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(entry.c_str()));
    }
    const std::optional<app::ProductChoice> restored = products_->Restore(*store_, CurrentTarget());
    SendDlgItemMessageA(window_, IDC_PRODUCT, CB_SETCURSEL,
                        static_cast<WPARAM>(products_->Position()), 0);
    ApplyProductChoice(restored);
}

void MainDialog::AppendReleaseToCaption() {
    char caption[kCaptionLength + 1] = {};
    GetWindowTextA(window_, caption, sizeof caption);
    const std::string title = app::WindowTitle(caption, files_.ProgramDirectoryText());
    SetWindowTextA(window_, title.c_str());
}

void MainDialog::ShowFileSummary() {
    SetDlgItemTextA(window_, IDC_CODE_PATH, records_.code.path.c_str());
    SetDlgItemTextA(window_, IDC_CODE_SIZE, records_.code.size_text.c_str());
    SetDlgItemTextA(window_, IDC_CODE_CHECKSUM, records_.code.checksum_text.c_str());
    SetDlgItemTextA(window_, IDC_PERSO_PATH, records_.perso.path.c_str());
    SetDlgItemTextA(window_, IDC_PERSO_SIZE, records_.perso.size_text.c_str());
    SetDlgItemTextA(window_, IDC_PORT, settings_.port_name.c_str());
    Repaint();
}

app::MemoryTarget MainDialog::CurrentTarget() const {
    return app::WindowTarget(records_, settings_);
}

void MainDialog::ApplyProductChoice(const std::optional<app::ProductChoice> &choice) {
    if (choice) {
        app::ApplyWindowTarget(choice->target, records_, settings_);
        const bool allowed = choice->personalization_allowed;
        if (!allowed) {
            CheckDlgButton(window_, IDC_PERSO_SWITCH, BST_UNCHECKED);
        }
        for (const int id : {IDC_PERSO_SWITCH, IDC_PERSO_PATH, IDC_BROWSE_PERSO, IDC_PERSO_SIZE}) {
            Enable(id, allowed);
        }
    }
    TakeSwitches();
}

void MainDialog::TakeSwitches() {
    switches_.code = Checked(IDC_CODE_SWITCH);
    switches_.perso = Checked(IDC_PERSO_SWITCH);
}

void MainDialog::Enable(int id, bool on) {
    EnableWindow(GetDlgItem(window_, id), on ? TRUE : FALSE);
}

bool MainDialog::Checked(int id) const {
    return IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

void MainDialog::OnStartStop() {
    control_->OnStartStop();
}

void MainDialog::OnBrowseCodeFile() {
    const bool watching = file_watch_running_;
    StopFileWatch();
    const std::string chosen =
        ChooseFileToOpen(window_, kCodeTitle, kCodeFilter, FolderOfFile(records_.code.path));
    if (!chosen.empty() && records_.ChooseCodeFile(chosen, *store_)) {
        ShowFileSummary();
    }
    if (watching) {
        StartFileWatch();
    }
}

void MainDialog::OnBrowsePersoFile() {
    const bool watching = file_watch_running_;
    StopFileWatch();
    const std::string chosen =
        ChooseFileToOpen(window_, kPersoTitle, kPersoFilter, FolderOfFile(records_.perso.path));
    if (!chosen.empty() && records_.ChoosePersoFile(chosen, *store_)) {
        ShowFileSummary();
    }
    if (watching) {
        StartFileWatch();
    }
}

void MainDialog::OnCodeSwitch() {
    TakeSwitches();
    for (const int id : {IDC_CODE_PATH, IDC_CODE_SIZE, IDC_BROWSE_CODE, IDC_CODE_CHECKSUM}) {
        Enable(id, switches_.code);
    }
}

void MainDialog::OnPersoSwitch() {
    TakeSwitches();
    for (const int id : {IDC_PERSO_PATH, IDC_BROWSE_PERSO, IDC_PERSO_SIZE}) {
        Enable(id, switches_.perso);
    }
}

void MainDialog::OnProductSelected() {
    const int position =
        static_cast<int>(SendDlgItemMessageA(window_, IDC_PRODUCT, CB_GETCURSEL, 0, 0));
    ApplyProductChoice(products_->Choose(position, *store_, CurrentTarget()));
}

void MainDialog::OnProperties() {
    RunSettingsDialog(window_, settings_rules_, ports_, files_.ProgramDirectoryText());
    if (settings_rules_.Changed()) {
        products_->ResetToNone();
        SendDlgItemMessageA(window_, IDC_PRODUCT, CB_SETCURSEL, 0, 0);
    }
    ShowFileSummary();
}

void MainDialog::OnFileWatch() {
    KillTimer(window_, kFileWatchTimer);
    if (records_.OnFileWatch()) {
        ShowFileSummary();
    }
    SetTimer(window_, kFileWatchTimer, kFileWatchMs, nullptr);
}

void MainDialog::OnCloseRequest() {
    if (!control_->OnCloseRequest()) {
        return;
    }
    StopFileWatch();
    EndDialog(window_, IDCANCEL);
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

void MainDialog::EnableControls(bool on) {
    // The code file's "&Browse..." follows its check box: a switched-off file is not chosen.
    Enable(IDC_BROWSE_CODE, on && Checked(IDC_CODE_SWITCH));
    Enable(IDC_PROPERTIES, on);
    Enable(IDC_CODE_SWITCH, on);
    if (products_->PersonalizationAllowed()) {
        Enable(IDC_PERSO_SWITCH, on);
    }
    Enable(IDC_PRODUCT, on);
}

void MainDialog::StopFileWatch() {
    KillTimer(window_, kFileWatchTimer);
    file_watch_running_ = false;
}

void MainDialog::StartFileWatch() {
    SetTimer(window_, kFileWatchTimer, kFileWatchMs, nullptr);
    file_watch_running_ = true;
}

void MainDialog::Repaint() {
    // While the engine runs, the window paints only when told: the controls too, at once.
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

Mx40WindowHandle MainDialog::NativeWindow() {
    return window_;
}

}  // namespace dekvanto::win32
