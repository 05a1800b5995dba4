// Shows an engine text in a message box when debug messages are on; silent otherwise.
#pragma once

#include <cstdint>

#include "window/window.h"

namespace dekvanto::engine {

class ComError {
  public:
    ComError(Window &window, const int32_t &debug_messages)
        : window_(window), debug_messages_(debug_messages) {}

    // Shows the text with this identifier (modal, OK only) when the debug-messages flag is 1.
    void operator()(int text_id) const;

  private:
    Window &window_;
    const int32_t &debug_messages_;
};

}  // namespace dekvanto::engine
