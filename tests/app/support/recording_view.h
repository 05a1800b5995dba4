// A download view that writes down everything the control asks of it, in order, as short
// event texts ("button &Stop download", "log <line>", "box <text>", "controls off", ...).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download_view.h"

namespace dekvanto::app {

class RecordingView final : public DownloadView {
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
    // Runs at each dispatch of events (a click, a close request); returns true for a quit.
    std::function<bool()> on_dispatch;
    // Runs when a message box is shown, after it was recorded (a click while it is up).
    std::function<void()> on_box;

    // The events that start with prefix, with the prefix removed.
    std::vector<std::string> EventsOf(std::string_view prefix) const;
};

}  // namespace dekvanto::app
