// What the download control needs of the main window. The window model (main_window_model.h)
// is the control's view in the program and decides which controls a download turns off; a
// command-line driver or a test's recorder can be one too. The control decides every change,
// the view only shows it.
#pragma once

#include <string_view>

#include "dekvanto/mx40.h"

namespace dekvanto::core {

// The places of the main window that a download shows itself in, which every view of the window
// draws the same way.
class DownloadDisplay {
  public:
    virtual ~DownloadDisplay() = default;

    // Button 1's text ("&Start download" or "&Stop download").
    virtual void SetButtonText(std::string_view text) = 0;
    // Progress bar position back to 0, step 1 (its range stays 0 to 100).
    virtual void ResetProgress() = 0;
    // Advances the progress bar by one step; past its maximum it starts again from 0.
    virtual void StepProgress() = 0;
    // The byte counter's text ("Download : <n> bytes").
    virtual void SetByteCounterText(std::string_view text) = 0;
    // Appends a line to the log list, selects it (scrolling it into view) and repaints at once.
    // The list only grows.
    virtual void AddLogLine(std::string_view text) = 0;
    // A modal message box with an OK button and the exclamation icon; returns when closed.
    virtual void ShowMessage(std::string_view text) = 0;
    // The file-watch timer (every kFileWatchPeriodMs) stops during a download and while a file
    // dialog is open, and runs otherwise.
    virtual void StopFileWatch() = 0;
    virtual void StartFileWatch() = 0;
    // Repaints the whole window now: while a download runs, the window paints only when told.
    virtual void Repaint() = 0;

#if defined(_WIN32)
    // The window the engine sends its messages to and whose queue it dispatches.
    virtual Mx40WindowHandle NativeWindow() = 0;
#else
    // Dispatches every event waiting on the window's thread once (a stop click among them, which
    // re-enters the control). True when a quit request was taken.
    virtual bool DispatchEvents() = 0;
#endif
};

inline constexpr int kFileWatchPeriodMs = 5000;

class DownloadView : public DownloadDisplay {
  public:
    // Enables or disables the controls that must not change during a download: the code file's
    // "&Browse...", "&Properties...", the code check box, the product box, and the
    // personalization check box while the chosen product allows personalization. Button 1 is
    // never touched.
    virtual void EnableControls(bool on) = 0;
};

}  // namespace dekvanto::core
