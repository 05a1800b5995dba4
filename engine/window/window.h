// The caller's window as the engine uses it: synchronous messages, one pass over the events
// waiting on the caller's thread, and modal message boxes. A download without a window sends
// nothing; its boxes still appear (on POSIX without a window they go to standard error).
#pragma once

#include <cstdint>
#include <memory>

#include "dekvanto/mx40.h"

namespace dekvanto::engine {

class Window {
  public:
    virtual ~Window() = default;
    // True when messages reach a window (a handle was given).
    virtual bool Present() const = 0;
    // Delivers one MX40_WM_* message; handled before it returns. Nothing happens without a window.
    virtual void Send(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
    // Dispatches every waiting event once. Returns true when a quit request was taken.
    virtual bool Pump() = 0;
    // Modal box with an OK button; returns when closed.
    virtual void MessageBox(const char *text) = 0;
    // The step-mode prompt: a message box that the user must close before the download goes on.
    // Without a window it waits for Enter only when standard input is a terminal.
    virtual void Prompt(const char *text) = 0;
};

// The window layer of this platform over the caller's handle (null: no window).
std::unique_ptr<Window> MakePlatformWindow(Mx40WindowHandle handle);

}  // namespace dekvanto::engine
