#include <windows.h>
// After windows.h:
#include <tlhelp32.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "console_wake.h"
#include "dekvanto/platform/interrupt.h"

namespace dekvanto::platform {
namespace {

std::atomic<int> interrupts{0};
std::atomic<Mxl40_StartStop_Fn> engine_start_stop{nullptr};
std::atomic<HWND> wake_window{nullptr};
std::atomic<HANDLE> interrupt_event{nullptr};
// The stop events of the station processes that every Ctrl-C is passed on to.
HANDLE forwarded[kMostForwarded] = {};
std::atomic<int> forwarded_count{0};

void WriteNote(const char *text, DWORD size) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, size, &written, nullptr);
}

// The event through which a parent passes a Ctrl-C on to the process `id`: named after the
// process, so that the parent and the station reach the same one whichever creates it first.
// Auto-reset: each Ctrl-C passed on is seen once, even one that comes before the station waits.
HANDLE StopEventOf(DWORD id) {
    const std::string name = "Local\\dekvanto-vanto-stop-" + std::to_string(id);
    return ::CreateEventA(nullptr, FALSE, FALSE, name.c_str());
}

void OnInterrupt() {
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
    for (int i = 0; i < forwarded_count.load(); ++i) {
        ::SetEvent(forwarded[i]);
    }
    if (count == 2) {
        static const char kNote[] = "vanto: stopping; the engine ends at its next check\r\n";
        WriteNote(kNote, sizeof kNote - 1);
    }
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;  // closing the console or logging off: the system's own handling
    }
    OnInterrupt();
    return TRUE;
}

// Waits for Ctrl-C passed on by a parent (the process's own stop event) until `quit` is set.
void WatchStopEvent(HANDLE stop, HANDLE quit) {
    const HANDLE handles[2] = {quit, stop};
    while (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        OnInterrupt();
    }
}

// The watcher of the process's own stop event, while a guard is installed.
struct StopWatch {
    HANDLE stop = StopEventOf(::GetCurrentProcessId());
    HANDLE quit = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread;

    StopWatch() {
        if (stop != nullptr && quit != nullptr) {
            thread = std::thread(WatchStopEvent, stop, quit);
        }
    }
    ~StopWatch() {
        if (thread.joinable()) {
            ::SetEvent(quit);
            thread.join();
        }
        for (const HANDLE handle : {stop, quit}) {
            if (handle != nullptr) {
                ::CloseHandle(handle);
            }
        }
    }
};
std::unique_ptr<StopWatch> stop_watch;

// The process that started this one, when it is still the one that did: a process started after
// this one under a reused id is not it.
HANDLE OpenParent() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    DWORD parent_id = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more;
         more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == ::GetCurrentProcessId()) {
            parent_id = entry.th32ParentProcessID;
        }
    }
    ::CloseHandle(snapshot);
    HANDLE parent = parent_id != 0 ? ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                                   FALSE, parent_id)
                                   : nullptr;
    FILETIME parent_start{}, own_start{}, unused{};
    if (parent != nullptr &&
        (!::GetProcessTimes(parent, &parent_start, &unused, &unused, &unused) ||
         !::GetProcessTimes(::GetCurrentProcess(), &own_start, &unused, &unused, &unused) ||
         ::CompareFileTime(&parent_start, &own_start) > 0)) {
        ::CloseHandle(parent);
        parent = nullptr;
    }
    return parent;
}

// Takes the end of the parent process as a Ctrl-C, while a guard is installed.
struct ParentWatch {
    HANDLE parent = OpenParent();
    HANDLE quit = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread;

    ParentWatch() {
        if (parent != nullptr && quit != nullptr) {
            thread = std::thread([this] {
                const HANDLE handles[2] = {quit, parent};
                if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
                    OnInterrupt();
                }
            });
        }
    }
    ~ParentWatch() {
        if (thread.joinable()) {
            ::SetEvent(quit);
            thread.join();
        }
        for (const HANDLE handle : {parent, quit}) {
            if (handle != nullptr) {
                ::CloseHandle(handle);
            }
        }
    }
};
std::unique_ptr<ParentWatch> parent_watch;

}  // namespace

InterruptGuard::InterruptGuard(Mxl40_StartStop_Fn start_stop) {
    interrupts = 0;
    engine_start_stop = start_stop;
    interrupt_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    stop_watch = std::make_unique<StopWatch>();
}

InterruptGuard::~InterruptGuard() {
    parent_watch.reset();
    stop_watch.reset();
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    ForwardTo({});
    engine_start_stop = nullptr;
    if (const HANDLE event = interrupt_event.exchange(nullptr)) {
        ::CloseHandle(event);
    }
}

void InterruptGuard::EndWithParent() {
    parent_watch = std::make_unique<ParentWatch>();
}

void InterruptGuard::ForwardTo(const std::vector<long> &processes) {
    const int previous = forwarded_count.exchange(0);
    for (int i = 0; i < previous; ++i) {
        ::CloseHandle(forwarded[i]);
    }
    int count = 0;
    for (const long id : processes) {
        if (count == kMostForwarded) {
            break;
        }
        if (const HANDLE event = StopEventOf(static_cast<DWORD>(id))) {
            forwarded[count++] = event;
        }
    }
    forwarded_count = count;
}

void InterruptProcess(long process) {
    if (const HANDLE event = StopEventOf(static_cast<DWORD>(process))) {
        ::SetEvent(event);
        ::CloseHandle(event);
    }
}

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

}  // namespace dekvanto::platform
