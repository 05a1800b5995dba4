#include <windows.h>

#include <deque>
#include <mutex>
#include <thread>

#include "line_input.h"
#include "win32/console_wake.h"

namespace dekvanto::cli {

// Shared with the reading thread, which may outlive the LineInput while it is blocked in a read
// (it ends with the process).
struct LineInput::Parts {
    std::mutex mutex;
    std::deque<std::string> lines;
    bool ended = false;
    HANDLE more = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);  // set at every push

    ~Parts() { ::CloseHandle(more); }

    void Push(std::string line, bool end) {
        std::lock_guard lock(mutex);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!end || !line.empty()) {
            lines.push_back(std::move(line));
        }
        ended = ended || end;
        ::SetEvent(more);
    }

    static void Read(std::shared_ptr<Parts> parts, HANDLE input) {
        std::string pending;
        char buffer[512];
        DWORD got = 0;
        while (::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            pending.append(buffer, got);
            for (auto end = pending.find('\n'); end != std::string::npos;
                 end = pending.find('\n')) {
                parts->Push(pending.substr(0, end), false);
                pending.erase(0, end + 1);
            }
        }
        parts->Push(pending, true);
    }
};

LineInput::LineInput(int) : parts_(std::make_shared<Parts>()) {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        parts_->Push("", true);
        return;
    }
    std::thread(Parts::Read, parts_, input).detach();
}

LineInput::~LineInput() = default;

bool LineInput::TakeLine(std::string &line) {
    std::lock_guard lock(parts_->mutex);
    if (parts_->lines.empty()) {
        // Nothing in: the next push sets the event again, so a wait that follows sees it.
        ::ResetEvent(parts_->more);
        return false;
    }
    line = std::move(parts_->lines.front());
    parts_->lines.pop_front();
    return true;
}

bool LineInput::Ended() {
    std::lock_guard lock(parts_->mutex);
    return parts_->ended && parts_->lines.empty();
}

void LineInput::WaitForMore(std::optional<std::chrono::milliseconds> wait) {
    HANDLE handles[2] = {parts_->more, InterruptEvent()};
    ::WaitForMultipleObjects(handles[1] != nullptr ? 2 : 1, handles, FALSE,
                             wait ? static_cast<DWORD>(wait->count()) : INFINITE);
}

}  // namespace dekvanto::cli
