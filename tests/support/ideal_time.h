// The protocol's ideal time for one download: what the line itself needs, with an engine that
// adds nothing. It counts the bytes of every frame at the speed of its phase, the acknowledgement
// round trips that the protocol requires (the adapter latency at each change of direction and
// the answer byte), the engine's fixed pauses and the phone's own delays, under the same timing
// rules as the simulator's wire-timed line and the virtual-time line model.
#pragma once

#include <cstdint>
#include <map>

#include "virtual_phone.h"

namespace dekvanto::engine::testing {

struct DownloadShape {
    uint32_t loader_bytes = 0;
    uint32_t code_bytes = 0;
    uint32_t perso_bytes = 0;
    uint32_t bit_rate = 460800;  // the download speed
    uint32_t latency_us = 1000;  // adapter latency at each change of direction
    PhoneTimes phone;
};

struct IdealTime {
    int64_t total_ns = 0;
    std::map<int32_t, int64_t> phase_ns;  // by MX40_PHASE_*
    uint64_t line_bytes = 0;              // bytes the PC sends
    uint32_t round_trips = 0;             // answers the PC waits for
};

// Acknowledged mode.
IdealTime ComputeIdealTime(const DownloadShape &shape);

}  // namespace dekvanto::engine::testing
