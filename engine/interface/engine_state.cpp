#include "interface/engine_state.h"

namespace mx40 {

EngineState &TheEngineState() {
    static EngineState state;
    return state;
}

}  // namespace mx40
