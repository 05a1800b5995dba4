#include "line/com_error.h"

#include "report/engine_texts.h"

namespace dekvanto::engine {

void ComError::operator()(int text_id) const {
    if (debug_messages_ == 1) {
        window_.MessageBox(EngineText(text_id));
    }
}

}  // namespace dekvanto::engine
