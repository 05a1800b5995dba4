// What a download tells the caller's window: log lines, the byte count, progress steps, and the
// start, finish and total times. Without a window nothing is sent, but the progress counters
// still run and the caller's events are still dispatched.
#pragma once

#include <cstdint>
#include <ctime>

#include "clock/clock.h"
#include "window/window.h"

namespace dekvanto::engine {

class DownloadReport {
  public:
    DownloadReport(Window &window, Clock &clock) : window_(window), clock_(clock) {}

    // Sends one log line made of the text with this identifier, filled with a number or a text.
    void Log(int text_id);
    void LogNumber(int text_id, int32_t value);
    void LogText(int text_id, const char *value);

    // Notes the download's start and logs "Starting Time : ...".
    void LogStart();
    // Logs the single line "Finish Time : HH:MM:SS .Total : MM Min SS sec".
    void LogFinish();

    // Fixes the total of the download's file lengths and resets the counters. The step size is a
    // hundredth of the total; below 100 bytes every byte counts as one step.
    void StartProgress(uint64_t total);
    // Accounts for n data bytes just sent: when at least one step is due, dispatches the
    // caller's events once, sends the byte count and one progress step per hundredth.
    void BlockSent(uint32_t n);
    // Sends the byte count message with the bytes sent so far.
    void SendByteCount();

    uint32_t BytesSent() const { return bytes_sent_; }
    uint32_t StepSize() const { return step_size_; }

  private:
    void SendLine(const char *text);

    Window &window_;
    Clock &clock_;
    std::time_t start_ = 0;
    uint32_t bytes_sent_ = 0;
    uint32_t step_size_ = 1;
    uint32_t step_accumulator_ = 0;
};

}  // namespace dekvanto::engine
