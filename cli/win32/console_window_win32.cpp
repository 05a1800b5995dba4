#include <windows.h>

#include <cstring>
#include <string>

#include "console_view.h"
#include "win32/console_wake.h"

namespace dekvanto::cli {
namespace {

constexpr const char *kWindowClass = "VantoEngineWindow";
// The control that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kLongestText = 4096;

// The view whose window lives on this thread: the engine's boxes on this thread are its own.
thread_local ConsoleView *boxes_view = nullptr;
thread_local HHOOK box_hook = nullptr;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto *view = reinterpret_cast<ConsoleView *>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (view != nullptr) {
        switch (message) {
            case MX40_WM_BYTE_COUNT:
            case MX40_WM_LOG_LINE:
            case MX40_WM_PROGRESS_STEP:
                view->DeliverEngineMessage(message, wparam);
                return 0;
            case kInterruptMessage:
                view->TakeInterrupts();
                return 0;
            default:
                break;
        }
    }
    return ::DefWindowProcA(window, message, wparam, lparam);
}

BOOL CALLBACK TakeStaticText(HWND child, LPARAM found) {
    char class_name[16] = {};
    ::GetClassNameA(child, class_name, sizeof class_name);
    if (_stricmp(class_name, "Static") != 0) {
        return TRUE;
    }
    char text[kLongestText] = {};
    if (::GetWindowTextA(child, text, sizeof text) > 0) {
        *reinterpret_cast<std::string *>(found) = text;
        return FALSE;
    }
    return TRUE;
}

// The message a message box shows: its text control, else its first static text.
std::string MessageBoxText(HWND box) {
    char text[kLongestText] = {};
    if (::GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text) > 0) {
        return text;
    }
    std::string found;
    ::EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Sees every dialog of this thread once its controls are filled (after WM_INITDIALOG): an
// engine's message box is printed by the view and closed with OK before anyone has to click.
LRESULT CALLBACK OnWindowMessageDone(int code, WPARAM wparam, LPARAM lparam) {
    const auto *call = reinterpret_cast<const CWPRETSTRUCT *>(lparam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && boxes_view != nullptr) {
        char class_name[16] = {};
        ::GetClassNameA(call->hwnd, class_name, sizeof class_name);
        if (std::strcmp(class_name, "#32770") == 0) {
            const std::string text = MessageBoxText(call->hwnd);
            ::PostMessageA(call->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            boxes_view->ShowMessage(text);
        }
    }
    return ::CallNextHookEx(box_hook, code, wparam, lparam);
}

bool RegisterWindowClass() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = WindowProcedure;
    window_class.hInstance = ::GetModuleHandleA(nullptr);
    window_class.lpszClassName = kWindowClass;
    return ::RegisterClassA(&window_class) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

// A hidden top-level window (never shown): the engine's message boxes take it as their owner.
struct ConsoleView::NativeWindowHandles {
    HWND window = nullptr;
    HHOOK hook = nullptr;
    ConsoleView *previous_view = nullptr;
    HHOOK previous_hook = nullptr;

    explicit NativeWindowHandles(ConsoleView &view) {
        if (!RegisterWindowClass()) {
            return;
        }
        window = ::CreateWindowExA(0, kWindowClass, "vanto", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                   nullptr, ::GetModuleHandleA(nullptr), nullptr);
        if (window == nullptr) {
            return;
        }
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&view));
        previous_view = boxes_view;
        previous_hook = box_hook;
        hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, OnWindowMessageDone, nullptr,
                                   ::GetCurrentThreadId());
        boxes_view = &view;
        box_hook = hook;
        WakeOnInterrupt(window);
    }

    ~NativeWindowHandles() {
        if (window == nullptr) {
            return;
        }
        WakeOnInterrupt(nullptr);
        if (hook != nullptr) {
            ::UnhookWindowsHookEx(hook);
        }
        boxes_view = previous_view;
        box_hook = previous_hook;
        ::DestroyWindow(window);
    }
};

Mx40WindowHandle ConsoleView::NativeWindow() {
    if (!native_) {
        native_ = {new NativeWindowHandles(*this),
                   [](NativeWindowHandles *handles) { delete handles; }};
    }
    return native_->window;
}

}  // namespace dekvanto::cli
