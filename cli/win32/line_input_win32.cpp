#include <windows.h>

#include <deque>
#include <mutex>
#include <string_view>
#include <thread>

#include "core/bench/bench_rules.h"
#include "core/text/output_lines.h"
#include "line_input.h"
#include "win32/console_wake.h"

namespace dekvanto::cli {

// Shared with the reading thread, which may outlive the LineInput while it is blocked in a read
// (it ends with the process).
struct LineInput::Impl {
    std::mutex mutex;
    std::deque<std::string> lines;
    bool ended = false;
    HANDLE more = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);  // set at every push

    ~Impl() { ::CloseHandle(more); }

    void Push(std::string line, bool end) {
        std::lock_guard lock(mutex);
        if (!end || !line.empty()) {
            lines.push_back(std::move(line));
        }
        ended = ended || end;
        ::SetEvent(more);
    }

    static void Read(std::shared_ptr<Impl> impl, HANDLE input) {
        dekvanto::core::LineSplitter splitter(dekvanto::core::kMaxBenchLineBytes);
        auto push = [&impl](const std::string &line, bool) { impl->Push(line, false); };
        char buffer[512];
        DWORD got = 0;
        while (::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            splitter.Take(std::string_view(buffer, got), push);
        }
        splitter.Finish(push);
        impl->Push("", true);
    }
};

LineInput::LineInput(int) : impl_(std::make_shared<Impl>()) {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        impl_->Push("", true);
        return;
    }
    std::thread(Impl::Read, impl_, input).detach();
}

LineInput::~LineInput() = default;

bool LineInput::TakeLine(std::string &line) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->lines.empty()) {
        // Nothing in: the next push sets the event again, so a wait that follows sees it.
        ::ResetEvent(impl_->more);
        return false;
    }
    line = std::move(impl_->lines.front());
    impl_->lines.pop_front();
    return true;
}

bool LineInput::Ended() {
    std::lock_guard lock(impl_->mutex);
    return impl_->ended && impl_->lines.empty();
}

void LineInput::WaitForMore(std::optional<std::chrono::milliseconds> wait) {
    HANDLE handles[2] = {impl_->more, InterruptEvent()};
    ::WaitForMultipleObjects(handles[1] != nullptr ? 2 : 1, handles, FALSE,
                             wait ? static_cast<DWORD>(wait->count()) : INFINITE);
}

}  // namespace dekvanto::cli
