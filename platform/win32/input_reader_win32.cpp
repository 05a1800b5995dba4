#include <windows.h>

#include <deque>
#include <mutex>
#include <thread>

#include "console_wake.h"
#include "dekvanto/platform/input_reader.h"

namespace dekvanto::platform {

// Shared with the reading thread, which may outlive the InputReader while it is blocked in a
// read (it ends with the process).
struct InputReader::Impl {
    std::mutex mutex;
    std::string bytes;
    bool ended = false;
    HANDLE more = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);  // set at every push

    ~Impl() { ::CloseHandle(more); }

    void Push(std::string_view chunk, bool end) {
        std::lock_guard lock(mutex);
        bytes.append(chunk);
        ended = ended || end;
        ::SetEvent(more);
    }

    // What came since the last look, under the lock; the event is reset when nothing did, so
    // that a wait that follows sees the next push.
    Got Take(std::string &into) {
        std::lock_guard lock(mutex);
        if (!bytes.empty()) {
            into += bytes;
            bytes.clear();
            return Got::kBytes;
        }
        if (ended) {
            return Got::kEnd;
        }
        ::ResetEvent(more);
        return Got::kNothing;
    }

    static void Read(std::shared_ptr<Impl> impl, HANDLE input) {
        char buffer[512];
        DWORD got = 0;
        while (::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            impl->Push(std::string_view(buffer, got), false);
        }
        impl->Push("", true);
    }
};

InputReader::InputReader(int) : impl_(std::make_shared<Impl>()) {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        impl_->Push("", true);
        return;
    }
    std::thread(Impl::Read, impl_, input).detach();
}

InputReader::~InputReader() = default;

InputReader::Got InputReader::Wait(std::optional<std::chrono::milliseconds> wait,
                                   std::string &bytes) {
    const Got before = impl_->Take(bytes);
    if (before != Got::kNothing) {
        return before;
    }
    HANDLE handles[2] = {impl_->more, InterruptEvent()};
    ::WaitForMultipleObjects(handles[1] != nullptr ? 2 : 1, handles, FALSE,
                             wait ? static_cast<DWORD>(wait->count()) : INFINITE);
    return impl_->Take(bytes);
}

}  // namespace dekvanto::platform
