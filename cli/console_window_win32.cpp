#include "console_view.h"
#include "dekvanto/platform/console_window.h"

namespace dekvanto::cli {

// The view's side of its hidden window: what the window passes on goes to the view.
struct ConsoleView::NativeWindowHandles final : platform::ConsoleWindowReceiver {
    explicit NativeWindowHandles(ConsoleView &owner) : view(owner), window(*this) {}

    void OnEngineMessage(uint32_t message, uintptr_t wparam) override {
        view.DeliverEngineMessage(message, wparam);
    }
    void OnInterrupt() override { view.TakeInterrupts(); }
    void OnMessageBox(const std::string &text) override { view.ShowMessage(text); }

    ConsoleView &view;
    platform::ConsoleWindow window;
};

Mx40WindowHandle ConsoleView::NativeWindow() {
    if (!native_) {
        native_ = {new NativeWindowHandles(*this),
                   [](NativeWindowHandles *handles) { delete handles; }};
    }
    return native_->window.Handle();
}

}  // namespace dekvanto::cli
