#include "recording_window.h"

#include "dekvanto/mx40.h"

namespace dekvanto::wintest {
namespace {

constexpr char kClassName[] = "DekvantoRecordingWindow";

void RegisterOnce(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = ::GetModuleHandleA(nullptr);
        window_class.lpszClassName = kClassName;
        return ::RegisterClassA(&window_class) != 0;
    }();
    (void)registered;
}

}  // namespace

RecordingWindow::RecordingWindow() {
    RegisterOnce(&RecordingWindow::Procedure);
    // Never shown: a top-level window without WS_VISIBLE.
    window_ = ::CreateWindowExA(0, kClassName, "recorder", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

RecordingWindow::~RecordingWindow() {
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

LRESULT CALLBACK RecordingWindow::Procedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    auto *self = reinterpret_cast<RecordingWindow *>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && (message >= WM_USER && message < 0xC000)) {
        self->Record(message, wparam);
        return 0;
    }
    return ::DefWindowProcA(window, message, wparam, lparam);
}

void RecordingWindow::Record(UINT message, WPARAM wparam) {
    messages.push_back(message);
    switch (message) {
        case MX40_WM_BYTE_COUNT:
            byte_counts.push_back(static_cast<uint32_t>(wparam));
            break;
        case MX40_WM_LOG_LINE:
            log_lines.emplace_back(reinterpret_cast<const char *>(wparam));
            if (on_log_line) {
                on_log_line(log_lines.back());
            }
            break;
        case MX40_WM_PROGRESS_STEP:
            ++progress_steps;
            break;
        default:
            if (message >= WM_APP && on_posted) {
                on_posted(message);
            }
            break;
    }
}

}  // namespace dekvanto::wintest
