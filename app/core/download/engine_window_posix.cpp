#include "core/download/engine_window.h"

namespace dekvanto::core {

EngineWindow::EngineWindow(EngineMessageHandler &handler, DownloadView &view)
    : handler_(handler), view_(view) {
    record_.context = this;
    record_.send = [](void *context, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
        static_cast<EngineWindow *>(context)->handler_.OnEngineMessage(message, wparam);
        return 0;
    };
    record_.pump = [](void *context) -> int32_t {
        return static_cast<EngineWindow *>(context)->view_.DispatchEvents() ? 1 : 0;
    };
    record_.message_box = [](void *context, const char *text) {
        static_cast<EngineWindow *>(context)->view_.ShowMessage(text != nullptr ? text : "");
    };
}

}  // namespace dekvanto::core
