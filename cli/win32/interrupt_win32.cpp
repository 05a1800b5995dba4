#include <windows.h>

#include <atomic>

#include "interrupt.h"
#include "win32/console_wake.h"

namespace dekvanto::cli {
namespace {

std::atomic<int> interrupts{0};
std::atomic<Mxl40_StartStop_Fn> engine_start_stop{nullptr};
std::atomic<HWND> wake_window{nullptr};
std::atomic<HANDLE> interrupt_event{nullptr};

void WriteNote(const char *text, DWORD size) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, size, &written, nullptr);
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;  // closing the console or logging off: the system's own handling
    }
    const int count = ++interrupts;
    if (const Mxl40_StartStop_Fn start_stop = engine_start_stop.load()) {
        start_stop(0);
    }
    if (const HWND window = wake_window.load()) {
        ::PostMessageA(window, kInterruptMessage, 0, 0);
    }
    if (const HANDLE event = interrupt_event.load()) {
        ::SetEvent(event);
    }
    if (count == 2) {
        static const char kNote[] = "vanto: stopping; the engine ends at its next check\r\n";
        WriteNote(kNote, sizeof kNote - 1);
    }
    return TRUE;
}

}  // namespace

InterruptGuard::InterruptGuard(Mxl40_StartStop_Fn start_stop) {
    interrupts = 0;
    engine_start_stop = start_stop;
    interrupt_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptGuard::~InterruptGuard() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    engine_start_stop = nullptr;
    if (const HANDLE event = interrupt_event.exchange(nullptr)) {
        ::CloseHandle(event);
    }
}

void InterruptGuard::ForwardTo(const std::vector<long> &) {}

int InterruptCount() {
    return interrupts.load();
}

void WakeOnInterrupt(HWND window) {
    wake_window = window;
}

HANDLE InterruptEvent() {
    return interrupt_event.load();
}

bool SleepUnlessInterrupted(std::chrono::milliseconds time) {
    if (const HANDLE event = interrupt_event.load()) {
        ::WaitForSingleObject(event, static_cast<DWORD>(time.count()));
    } else {
        ::Sleep(static_cast<DWORD>(time.count()));
    }
    return InterruptCount() == 0;
}

bool WaitForEnter(int) {
    // A Ctrl-C ends a console read at once (it reports failure); a pipe is read to its next line.
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        if (InterruptCount() > 0) {
            return false;
        }
        char c = 0;
        DWORD got = 0;
        const BOOL read = ::ReadFile(input, &c, 1, &got, nullptr);
        if (InterruptCount() > 0) {
            return false;
        }
        if (!read || got == 0 || c == '\n') {
            return true;
        }
    }
}

}  // namespace dekvanto::cli
