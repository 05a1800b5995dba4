// The caller's window on Windows: the HWND the application passed, its thread's message queue
// and message boxes.
#include <windows.h>
// The window layer's own MessageBox is meant, not the Windows macro of that name.
#undef MessageBox

#include "window/window.h"

namespace dekvanto::engine {
namespace {

class Win32Window final : public Window {
  public:
    explicit Win32Window(HWND window) : window_(window) {}

    bool Present() const override { return window_ != nullptr; }

    // Synchronous: the window procedure has run when this returns.
    void Send(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
        if (window_ != nullptr) {
            ::SendMessageA(window_, message, static_cast<WPARAM>(wparam),
                           static_cast<LPARAM>(lparam));
        }
    }

    // Every message waiting on this thread, for any of its windows, is dispatched once. A quit
    // request ends the pass and stays taken: the caller's own loop never sees it.
    bool Pump() override {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return true;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        return false;
    }

    void MessageBox(const char *text) override { ::MessageBoxA(window_, text, nullptr, MB_OK); }

    void Prompt(const char *text) override { ::MessageBoxA(window_, text, nullptr, MB_OK); }

  private:
    HWND window_;
};

}  // namespace

std::unique_ptr<Window> MakePlatformWindow(Mx40WindowHandle handle) {
    return std::make_unique<Win32Window>(reinterpret_cast<HWND>(handle));
}

}  // namespace dekvanto::engine
