// The hidden window of a console program on Windows (vanto): the engine talks to a window handle,
// so the tool owns a top-level window that is never shown. Its procedure runs on the thread that
// made it, inside the engine's message dispatch during a download, and passes on:
//   - the engine's three messages (MX40_WM_BYTE_COUNT, MX40_WM_LOG_LINE, MX40_WM_PROGRESS_STEP);
//   - the wake-up that every Ctrl-C posts to it (interrupt.h), so that the stop reaches the
//     download inside the engine's dispatch;
//   - every message box that the engine opens on this thread: its text is handed on and the box
//     is closed with OK before anyone has to click.
#pragma once

#if defined(_WIN32)

#include <cstdint>
#include <string>

#include "dekvanto/mx40.h"

namespace dekvanto::platform {

// What the window passes on, called on the window's thread.
class ConsoleWindowReceiver {
  public:
    virtual ~ConsoleWindowReceiver() = default;
    virtual void OnEngineMessage(uint32_t message, uintptr_t wparam) = 0;
    virtual void OnInterrupt() = 0;
    virtual void OnMessageBox(const std::string &text) = 0;
};

class ConsoleWindow {
  public:
    // Makes the window for receiver, on the calling thread; Handle() is null when the system
    // refused it. From now on every Ctrl-C wakes it.
    explicit ConsoleWindow(ConsoleWindowReceiver &receiver);
    // Destroys it; a Ctrl-C wakes no window any more, and the message boxes of this thread go
    // to the window made before this one, if any.
    ~ConsoleWindow();
    ConsoleWindow(const ConsoleWindow &) = delete;
    ConsoleWindow &operator=(const ConsoleWindow &) = delete;

    // The handle to pass to Mxl40_Download.
    Mx40WindowHandle Handle() const;

  private:
    struct Handles;
    Handles *handles_;
};

}  // namespace dekvanto::platform

#endif
