#include <windows.h>

#include <cstring>
#include <string>

#include "console_wake.h"
#include "dekvanto/platform/console_window.h"

namespace dekvanto::platform {
namespace {

constexpr const char *kWindowClass = "VantoEngineWindow";
// The control that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kLongestText = 4096;

// The receiver whose window lives on this thread: the engine's boxes on this thread are its own.
thread_local ConsoleWindowReceiver *boxes_receiver = nullptr;
thread_local HHOOK box_hook = nullptr;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto *receiver =
        reinterpret_cast<ConsoleWindowReceiver *>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (receiver != nullptr) {
        switch (message) {
            case MX40_WM_BYTE_COUNT:
            case MX40_WM_LOG_LINE:
            case MX40_WM_PROGRESS_STEP:
                receiver->OnEngineMessage(message, wparam);
                return 0;
            case kInterruptMessage:
                receiver->OnInterrupt();
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
// engine's message box is handed to the receiver and closed with OK before anyone has to click.
LRESULT CALLBACK OnWindowMessageDone(int code, WPARAM wparam, LPARAM lparam) {
    const auto *call = reinterpret_cast<const CWPRETSTRUCT *>(lparam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && boxes_receiver != nullptr) {
        char class_name[16] = {};
        ::GetClassNameA(call->hwnd, class_name, sizeof class_name);
        if (std::strcmp(class_name, "#32770") == 0) {
            const std::string text = MessageBoxText(call->hwnd);
            ::PostMessageA(call->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            boxes_receiver->OnMessageBox(text);
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
struct ConsoleWindow::Handles {
    HWND window = nullptr;
    HHOOK hook = nullptr;
    ConsoleWindowReceiver *previous_receiver = nullptr;
    HHOOK previous_hook = nullptr;
};

ConsoleWindow::ConsoleWindow(ConsoleWindowReceiver &receiver) : handles_(new Handles) {
    Handles &h = *handles_;
    if (!RegisterWindowClass()) {
        return;
    }
    h.window = ::CreateWindowExA(0, kWindowClass, "vanto", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                 nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (h.window == nullptr) {
        return;
    }
    ::SetWindowLongPtrA(h.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&receiver));
    h.previous_receiver = boxes_receiver;
    h.previous_hook = box_hook;
    h.hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, OnWindowMessageDone, nullptr,
                                 ::GetCurrentThreadId());
    boxes_receiver = &receiver;
    box_hook = h.hook;
    WakeOnInterrupt(h.window);
}

ConsoleWindow::~ConsoleWindow() {
    Handles &h = *handles_;
    if (h.window != nullptr) {
        WakeOnInterrupt(nullptr);
        if (h.hook != nullptr) {
            ::UnhookWindowsHookEx(h.hook);
        }
        boxes_receiver = h.previous_receiver;
        box_hook = h.previous_hook;
        ::DestroyWindow(h.window);
    }
    delete handles_;
}

Mx40WindowHandle ConsoleWindow::Handle() const {
    return handles_->window;
}

}  // namespace dekvanto::platform
