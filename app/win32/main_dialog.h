// The main window "DEK VANTO" (dialog IDD_MAIN): the only window the user works in. It draws the
// window model (core/window/main_window_model.h) through the controls of its template and forwards
// the user's commands to it; every rule (what a click changes, enables, stores or logs) lives in
// the model.
//
// The engine runs on this window's thread inside the start/stop command: it sends the window its
// three messages (byte count, log line, progress step), which the dialog procedure hands to the
// model, and it dispatches the thread's queue itself, so the window's commands (a stop among
// them) run while the download does. The engine's dispatch bypasses the dialog's keyboard
// handling, so Enter and Escape do nothing during a download; button 1 works with the mouse or
// the space bar.
//
// Closing (the close box, Alt+F4, the system menu, Escape) goes to the model, which refuses it
// while an attempt runs. "About DEK VANTO..." is an entry of the system menu.
#pragma once

#include <windows.h>

#include <string>

#include "core/download/engine.h"
#include "core/ports/port_list.h"
#include "core/settings/program_folder.h"
#include "core/window/main_window_model.h"
#include "core/window/main_window_view.h"

namespace dekvanto::win32 {

// The file-watch timer's number.
inline constexpr UINT_PTR kFileWatchTimer = 2;

class MainDialog final : public core::MainWindowView {
  public:
    // Reads the current settings (the Settings dialog object is made with the window).
    MainDialog(const core::ProgramFiles &files, core::Engine &engine, core::PortSource &ports);
    ~MainDialog() override;
    MainDialog(const MainDialog &) = delete;
    MainDialog &operator=(const MainDialog &) = delete;

    // Creates the window from its template without an owner and runs it modally until it closes.
    void Run(HINSTANCE instance);

    // MainWindowView.
    void SetButtonText(std::string_view text) override;
    void ResetProgress() override;
    void StepProgress() override;
    void SetByteCounterText(std::string_view text) override;
    void AddLogLine(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    void StopFileWatch() override;
    void StartFileWatch() override;
    void Repaint() override;
    Mx40WindowHandle NativeWindow() override { return window_; }
    void Enable(core::WindowControl control, bool on) override;
    void SetChecked(core::WindowControl control, bool checked) override;
    void SetText(core::WindowControl control, std::string_view text) override;
    void SetProductEntries(const std::vector<std::string> &entries) override;
    void SelectProduct(int position) override;
    std::string Caption() override;
    void SetCaption(std::string_view caption) override;
    std::string ChooseFile(const core::FileDialog &dialog, const std::string &folder) override;
    void RunSettingsDialog(core::SettingsSession &session) override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // The window's messages; lParam carries nothing that the window uses.
    INT_PTR Handle(UINT message, WPARAM wparam);
    bool OnCommand(int id, int notification);

    void OnInitDialog();
    void AddAboutEntry();
    void SetIcons();
    void OnCloseRequest();
    void PaintMinimized();
    bool Checked(int id) const;

    core::MainWindowModel model_;
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    HICON small_icon_ = nullptr;
};

}  // namespace dekvanto::win32
