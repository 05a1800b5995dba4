// The byte trace of the line: a process-wide hook that diagnostic tools install through
// Mxl40_SetTrace, the phase of the download that the stages mark as they go, and the port wrapper
// that reports every byte written and read.
#pragma once

#include <cstdint>
#include <memory>

#include "dekvanto/mx40.h"
#include "line/line_port.h"

namespace dekvanto::engine {

struct LineTrace {
    Mx40TraceFn fn = nullptr;
    void *context = nullptr;
    int32_t phase = MX40_PHASE_LINE_SETUP;
};

// The one trace of this process (constant-initialised: safe to touch before any download).
LineTrace &TheLineTrace();

// Marks the phase that the following bytes belong to (MX40_PHASE_*). Costs nothing without a
// trace; the stages call it whether or not one is installed.
void SetTracePhase(int32_t phase);

// port, reporting to the trace installed at each call. Without a trace it only passes through.
std::unique_ptr<LinePort> TracedPort(std::unique_ptr<LinePort> port);

}  // namespace dekvanto::engine
