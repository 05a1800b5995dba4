// The main window of a terminal: the download control's view for the tool. Log lines are printed
// as they come; the byte counter and progress steps feed a progress bar (on a terminal) or plain
// progress lines at every tenth (elsewhere); a station's process prints nothing itself; message
// boxes are printed and, in step mode, wait for Enter; the event dispatch turns a Ctrl-C into the
// window's stop command. With an event writer, every log line is also a "phase" event, the byte
// counter a "progress" event and a message box a "prompt" (step mode) or "message" event.
//
// On Windows the engine talks to a window handle: the view owns a hidden message-only window
// (dekvanto/platform/console_window.h) whose procedure passes the engine's three messages to the
// download control, takes the Ctrl-C wake-up, and whose thread turns the engine's message boxes
// into printed lines (the box is closed before it shows, after Enter in step mode).
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "console.h"
#include "core/download/download_events.h"
#include "core/download/download_view.h"
#include "core/download/engine_window.h"
#include "progress_meter.h"

namespace dekvanto::cli {

enum class ViewMode {
    kTerminal,  // redrawn bar
    kPlain,     // a progress line at every tenth
    kStation,   // a station's process: nothing printed, its events (SendEventsTo) tell the parent
};

class ConsoleView final : public dekvanto::core::DownloadView {
  public:
    // log: where log lines and progress go (standard output, or standard error under --json).
    ConsoleView(ViewMode mode, std::ostream &log, Console &console, uint64_t total_bytes,
                bool step_mode);
    ~ConsoleView() override;
    ConsoleView(const ConsoleView &) = delete;
    ConsoleView &operator=(const ConsoleView &) = delete;

    // Where the unit's events go besides the log (--events); null: nowhere.
    void SendEventsTo(dekvanto::core::EventWriter *events) { events_ = events; }
    // Called from the event dispatch at the first pass after a Ctrl-C.
    void OnInterrupt(std::function<void()> stop) { stop_ = std::move(stop); }
    // Where the engine's messages go when they reach the view's own window (Windows); elsewhere
    // the download control's window record takes them and this is not needed.
    void OnEngineMessages(dekvanto::core::EngineMessageHandler &handler) { handler_ = &handler; }
    // The download control is gone: its messages go nowhere until the next one is given.
    void StopEngineMessages() { handler_ = nullptr; }
    // Runs the stop command at the first Ctrl-C not yet seen (the event dispatch's job).
    void TakeInterrupts();
    // An engine message that reached the view's own window.
    void DeliverEngineMessage(uint32_t message, uintptr_t wparam);

    // Marks the start of the engine's run: the rate and time left count from here, and the
    // progress starts again from nothing (a bench station runs one view for all its attempts).
    void StartClock() {
        start_ = std::chrono::steady_clock::now();
        meter_ = ProgressMeter(total_bytes_);
    }
    // Ends a bar that is being redrawn (before any other output).
    void EndBar();

    void SetButtonText(std::string_view) override {}
    void ResetProgress() override {}
    void StepProgress() override {}
    void SetByteCounterText(std::string_view text) override;
    void AddLogLine(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    void EnableControls(bool) override {}
    void StopFileWatch() override {}
    void StartFileWatch() override {}
    void Repaint() override {}
#if defined(_WIN32)
    // The hidden window, made at the first call.
    Mx40WindowHandle NativeWindow() override;
#else
    bool DispatchEvents() override;
#endif

  private:
    struct NativeWindowHandles;
    void ShowProgress();

    ViewMode mode_;
    std::ostream &log_;
    Console &console_;
    bool step_mode_;
    uint64_t total_bytes_;
    ProgressMeter meter_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::function<void()> stop_;
    dekvanto::core::EngineMessageHandler *handler_ = nullptr;
    dekvanto::core::EventWriter *events_ = nullptr;
    // Windows: the hidden window; none elsewhere.
    std::unique_ptr<NativeWindowHandles, void (*)(NativeWindowHandles *)> native_{nullptr, nullptr};
    int interrupts_seen_ = 0;
    bool bar_shown_ = false;
};

}  // namespace dekvanto::cli
