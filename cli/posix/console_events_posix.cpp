#include "console_view.h"

namespace dekvanto::cli {

// The engine's window record (the download control's) calls this at every pass of its waits.
bool ConsoleView::DispatchEvents() {
    TakeInterrupts();
    return false;
}

}  // namespace dekvanto::cli
