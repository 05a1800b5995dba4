// The main window "DEK VANTO" (dialog IDD_MAIN): the only window the user works in. It draws the
// application core's values and forwards the user's actions to it; every rule (what a click
// changes, what is stored, what is logged) lives in the core.
//
// The window is the download view of the download control. The engine runs on this window's
// thread inside the start/stop command: it sends the window its three messages (byte count, log
// line, progress step), which the dialog procedure hands to the control, and it dispatches the
// thread's queue itself, so the window's commands (a stop among them) run while the download
// does. The engine's dispatch bypasses the dialog's keyboard handling, so Enter and Escape do
// nothing during a download; button 1 works with the mouse or the space bar.
//
// Closing (the close box, Alt+F4, the system menu, Escape) is refused while an attempt runs, with
// "Stop the Downloader Before to Quit this Application!". "About DEK VANTO..." is an entry of the
// system menu.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "core/current_settings.h"
#include "core/download_control.h"
#include "core/download_view.h"
#include "core/engine.h"
#include "core/file_records.h"
#include "core/port_list.h"
#include "core/product_selection.h"
#include "core/program_folder.h"
#include "core/settings_dialog.h"
#include "core/settings_store.h"

namespace dekvanto::win32 {

// The file-watch timer: its number and period.
inline constexpr UINT_PTR kFileWatchTimer = 2;
inline constexpr UINT kFileWatchMs = 5000;

class MainDialog final : public app::DownloadView {
  public:
    // Reads the current settings (the Settings dialog object is made with the window).
    MainDialog(const app::ProgramFiles &files, app::Engine &engine, app::PortSource &ports);
    ~MainDialog() override;
    MainDialog(const MainDialog &) = delete;
    MainDialog &operator=(const MainDialog &) = delete;

    // Creates the window from its template without an owner and runs it modally until it closes.
    void Run(HINSTANCE instance);

    // DownloadView.
    void SetButtonText(std::string_view text) override;
    void ResetProgress() override;
    void StepProgress() override;
    void SetByteCounterText(std::string_view text) override;
    void AddLogLine(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    void EnableControls(bool on) override;
    void StopFileWatch() override;
    void StartFileWatch() override;
    void Repaint() override;
    Mx40WindowHandle NativeWindow() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // The window's messages; lParam carries nothing that the window uses.
    INT_PTR Handle(UINT message, WPARAM wparam);
    bool OnCommand(int id, int notification);

    void OnInitDialog();
    void AddAboutEntry();
    void SetIcons();
    void LoadProducts();
    void AppendReleaseToCaption();
    void ShowFileSummary();
    void ApplyProductChoice(const std::optional<app::ProductChoice> &choice);
    app::MemoryTarget CurrentTarget() const;
    void TakeSwitches();
    void Enable(int id, bool on);
    bool Checked(int id) const;

    void OnStartStop();
    void OnBrowseCodeFile();
    void OnBrowsePersoFile();
    void OnCodeSwitch();
    void OnPersoSwitch();
    void OnProductSelected();
    void OnProperties();
    void OnFileWatch();
    void OnCloseRequest();
    void PaintMinimized();

    app::ProgramFiles files_;
    app::Engine &engine_;
    app::PortSource &ports_;
    std::unique_ptr<app::SettingsStore> store_;
    app::CurrentSettings settings_;
    app::FileRecords records_;
    app::DownloadSwitches switches_;
    app::SettingsDialog settings_rules_;
    std::unique_ptr<app::ProductSelection> products_;
    std::unique_ptr<app::DownloadControl> control_;
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    HICON small_icon_ = nullptr;
    bool file_watch_running_ = false;
};

}  // namespace dekvanto::win32
