#include "message_box_closer.h"

namespace dekvanto::wintest {
namespace {

// One closer at a time per thread; the hook procedure finds its list here.
thread_local std::vector<MessageBoxCloser::Box> *active_boxes = nullptr;

BOOL CALLBACK TakeStaticText(HWND child, LPARAM found) {
    char class_name[16] = {};
    ::GetClassNameA(child, class_name, sizeof class_name);
    char text[1024] = {};
    if (::lstrcmpiA(class_name, "Static") == 0 && ::GetWindowTextA(child, text, sizeof text) > 0) {
        *reinterpret_cast<std::string *>(found) = text;
        return FALSE;
    }
    return TRUE;
}

LRESULT CALLBACK WatchActivation(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE && active_boxes != nullptr) {
        const HWND box = reinterpret_cast<HWND>(wparam);
        char class_name[16] = {};
        ::GetClassNameA(box, class_name, sizeof class_name);
        if (std::string(class_name) == "#32770") {
            std::string text;
            ::EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
            active_boxes->push_back({text, ::GetWindow(box, GW_OWNER)});
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

std::vector<MessageBoxCloser::Box> &BoxesOfThisThread() {
    thread_local std::vector<MessageBoxCloser::Box> boxes;
    return boxes;
}

}  // namespace

MessageBoxCloser::MessageBoxCloser() {
    BoxesOfThisThread().clear();
    active_boxes = &BoxesOfThisThread();
    hook_ = ::SetWindowsHookExA(WH_CBT, WatchActivation, nullptr, ::GetCurrentThreadId());
}

MessageBoxCloser::~MessageBoxCloser() {
    ::UnhookWindowsHookEx(hook_);
    active_boxes = nullptr;
}

const std::vector<MessageBoxCloser::Box> &MessageBoxCloser::Boxes() const {
    return BoxesOfThisThread();
}

std::vector<std::string> MessageBoxCloser::Texts() const {
    std::vector<std::string> texts;
    for (const Box &box : Boxes()) {
        texts.push_back(box.text);
    }
    return texts;
}

}  // namespace dekvanto::wintest
