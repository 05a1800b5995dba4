#include "console_view.h"

namespace vanto {

// The engine's window record (the download control's) calls this at every pass of its waits.
bool ConsoleView::DispatchEvents() {
    TakeInterrupts();
    return false;
}

}  // namespace vanto
