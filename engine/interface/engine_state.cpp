#include "interface/engine_state.h"

namespace dekvanto::engine {

EngineState &TheEngineState() {
    static EngineState state;
    return state;
}

}  // namespace dekvanto::engine
