// A hidden window on the test's thread that records what the engine sends it: byte counts, log
// lines and progress steps, in the order they came.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dekvanto::wintest {

class RecordingWindow {
  public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow &) = delete;
    RecordingWindow &operator=(const RecordingWindow &) = delete;

    HWND Handle() const { return window_; }

    std::vector<uint32_t> byte_counts;
    std::vector<std::string> log_lines;
    int progress_steps = 0;
    // Every message the window procedure saw, the engine's three and any other posted to it.
    std::vector<UINT> messages;
    // Called while a log line message is handled (the text is still the engine's).
    std::function<void(const std::string &)> on_log_line;
    // Called for a message the test posted itself (WM_APP and above).
    std::function<void(UINT)> on_posted;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void Record(UINT message, WPARAM wparam);

    HWND window_ = nullptr;
};

}  // namespace dekvanto::wintest
