// A view of the download control and of the main window model that writes down everything it is
// asked, in order, as short event texts ("button &Stop download", "log <line>", "box <text>",
// "controls off", "enable perso path off", "text port COM1", "choose <title> in <folder>", ...).
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/download_view.h"
#include "core/window/main_window_view.h"

namespace dekvanto::core {

// The control's name in the events ("code switch", "perso browse", "product", ...).
std::string_view ControlName(WindowControl control);

class RecordingView final : public DownloadView, public MainWindowView {
  public:
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
    bool DispatchEvents() override;
    void Enable(WindowControl control, bool on) override;
    void SetChecked(WindowControl control, bool checked) override;
    void SetText(WindowControl control, std::string_view text) override;
    void SetProductEntries(const std::vector<std::string> &entries) override;
    void SelectProduct(int position) override;
    std::string Caption() override { return caption; }
    void SetCaption(std::string_view text) override;
    std::string ChooseFile(const FileDialog &dialog, const std::string &folder) override;
    void RunSettingsDialog(SettingsSession &session) override;

    // Every event, in order.
    std::vector<std::string> events;
    // What the window shows now.
    std::string button;
    std::string byte_counter;
    int progress = 0;
    bool controls_enabled = true;
    bool file_watch_running = true;
    std::vector<std::string> log;
    std::vector<std::string> boxes;
    int dispatches = 0;
    std::string caption = "DEK VANTO";
    // Controls start enabled and unchecked, as the window's template makes them.
    std::map<WindowControl, bool> enabled;
    std::map<WindowControl, bool> checked;
    std::map<WindowControl, std::string> texts;
    std::vector<std::string> products;
    int product_position = -1;
    // Runs at each dispatch of events (a click, a close request); returns true for a quit.
    std::function<bool()> on_dispatch;
    // Runs when a message box is shown, after it was recorded (a click while it is up).
    std::function<void()> on_box;
    // The file dialog's answer ("" cancels).
    std::string chosen_file;
    // The Settings dialog's user: it opens the session and closes it by OK or Cancel.
    std::function<void(SettingsSession &)> settings_user;

    bool Enabled(WindowControl control) const;
    // The events that start with prefix, with the prefix removed.
    std::vector<std::string> EventsOf(std::string_view prefix) const;
};

}  // namespace dekvanto::core
