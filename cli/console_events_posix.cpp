#include <chrono>

#include "console_view.h"

namespace dekvanto::cli {

// The engine's window record (the download control's) calls this at every pass of its waits.
bool ConsoleView::DispatchEvents() {
    TakeInterrupts();
    if (events_ != nullptr) {
        events_->FlushProgress(std::chrono::steady_clock::now());
    }
    return false;
}

}  // namespace dekvanto::cli
