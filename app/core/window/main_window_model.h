// The main window "DEK VANTO" without its widgets: the state it holds for the whole run (the
// current settings, the file records, the two download switches, the product selection, the
// Settings dialog's rules, the download control) and every rule of what a user action changes,
// enables, shows and stores. The Qt window and the Win32 dialog draw it through MainWindowView
// and forward the user's actions to the methods below.
//
// The values are those of the controls: a click on a check box, a pick in the product box and a
// file choice reach the model as they happen, and the model puts each change the window must
// show back through the view.
//
// Start-up order (Initialise): the code check box on and the personalization one off, with the
// personalization file's controls following it (disabled); the three file paths from the
// settings file and their summaries (with the second paths as fall-back); the product list and
// the stored product, applied when it is a product; the file summary and the port; the caption
// with the release number; the file watch.
//
// The file watch runs while the window is idle: a download stops it (the download control), and
// so does an open file dialog, after which it runs again only if it ran before (a personalization
// file chosen during a download leaves it stopped until the download ends).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/download/download_control.h"
#include "core/download/engine.h"
#include "core/ports/port_list.h"
#include "core/products/file_records.h"
#include "core/products/product_selection.h"
#include "core/settings/current_settings.h"
#include "core/settings/program_folder.h"
#include "core/settings/settings_store.h"
#include "core/window/main_window_view.h"
#include "core/window/settings_dialog.h"

namespace dekvanto::core {

class MainWindowModel final : private DownloadView {
  public:
    // Reads the current settings from `store` (the Settings dialog's object is made with the
    // window). Nothing is shown until Initialise.
    MainWindowModel(const ProgramFiles &files, std::unique_ptr<SettingsStore> store, Engine &engine,
                    PortSource &ports, MainWindowView &view);
    MainWindowModel(const MainWindowModel &) = delete;
    MainWindowModel &operator=(const MainWindowModel &) = delete;

    // The window's initialisation, once its controls exist (order above).
    void Initialise();

    // Button 1 (and Enter while idle): start, or stop the running download (download_control.h).
    void OnStartStop() { control_.OnStartStop(); }
    // The engine's byte count, log line and progress step messages to the window.
    void OnEngineMessage(uint32_t message, uintptr_t wparam) {
        control_.OnEngineMessage(message, wparam);
    }

    // "&Browse..." of each file: the file dialog in the folder of the current file; a chosen file
    // that opens becomes the file, is summarised, shown and stored ("PathOption"); one that does
    // not open shows its message and the previous file stays.
    void OnBrowseCodeFile();
    void OnBrowsePersoFile();

    // A click on a check box, with its new state. The code file's name, size, checksum and
    // "&Browse..." follow the code box; the personalization file's name, size and "&Browse..."
    // follow the personalization box. A switched-off file keeps its path.
    void OnCodeSwitch(bool checked);
    void OnPersoSwitch(bool checked);

    // A pick in the product box (-1: the box reports no selection). A product sets the loader
    // file, the bus width and the wait states, stores them, and enables the personalization
    // controls when it takes a personalization file, or else clears its check box and disables
    // them. "None" changes nothing but the stored product name.
    void OnProductSelected(int position);

    // "&Properties...": the Settings dialog; when OK changed the loader file, the bus width or the
    // wait states, the product box shows "None"; the file summary and the port are shown afresh
    // however the dialog closed.
    void OnProperties();

    // A tick of the file-watch timer: the code and loader files summarised again when they
    // changed on disk, and shown.
    void OnFileWatch();

    // The window asks to close (the close box, Alt+F4, Escape). Refused with its message while a
    // download runs (download_control.h); otherwise the file watch stops and the result is true:
    // the window then closes.
    bool OnCloseRequest();

    const DownloadControl &Control() const { return control_; }
    const ProgramFiles &Files() const { return files_; }

  private:
    // DownloadView: the control's calls go to the window, the file watch is tracked, and the
    // controls of a download are chosen here.
    void SetButtonText(std::string_view text) override { view_.SetButtonText(text); }
    void ResetProgress() override { view_.ResetProgress(); }
    void StepProgress() override { view_.StepProgress(); }
    void SetByteCounterText(std::string_view text) override { view_.SetByteCounterText(text); }
    void AddLogLine(std::string_view text) override { view_.AddLogLine(text); }
    void ShowMessage(std::string_view text) override { view_.ShowMessage(text); }
    void StopFileWatch() override;
    void StartFileWatch() override;
    void Repaint() override { view_.Repaint(); }
#if defined(_WIN32)
    Mx40WindowHandle NativeWindow() override {
        return view_.NativeWindow();
    }
#else
    bool DispatchEvents() override {
        return view_.DispatchEvents();
    }
#endif
    void EnableControls(bool on) override;

    void LoadProducts();
    void ApplyProductChoice(const std::optional<ProductChoice> &choice);
    void FollowCodeSwitch();
    void FollowPersoSwitch();
    void ShowFileSummary();
    void TellUnsavedSettings();
    using ChooseInRecords = bool (FileRecords::*)(const std::string &, SettingsStore &);
    void BrowseFile(const FileDialog &dialog, const std::string &current, ChooseInRecords choose);

    ProgramFiles files_;
    std::unique_ptr<SettingsStore> store_;
    PortSource &ports_;
    MainWindowView &view_;
    CurrentSettings settings_;
    FileRecords records_;
    DownloadSwitches switches_;
    SettingsDialog settings_rules_;
    ProductSelection products_;
    DownloadControl control_;
    bool file_watch_running_ = false;
};

}  // namespace dekvanto::core
