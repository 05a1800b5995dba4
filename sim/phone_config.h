// How one simulated phone is set up: its port, what it expects from the PC, its own pauses,
// the faults it commits and where it records what it received.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/line_wire.h"

namespace dekvanto::sim {

// What the phone is told to expect. An unset value is not checked (the frame itself is still
// checked for being well formed).
struct Expectations {
    std::optional<uint8_t> target_byte;   // the memory target byte (wait states | bus width)
    std::optional<uint32_t> bit_rate;     // speed announced in the line setup frame, bit/s
    std::optional<int> parity;            // 0 none, 1 odd, 2 even
    std::optional<int> stop_bits;         // stop-bit count, 1 or 2
    std::optional<uint8_t> request_byte;  // the download request byte (0x40 | file flags)
};

// The phone's own pauses before it answers, in milliseconds. They apply in acknowledged mode
// only: in blind mode the PC waits for none of these answers, so the phone leaves them out.
struct PhoneDelays {
    uint32_t loader_start_ms = 10;  // after the loader's end frame, before its '8'
    uint32_t erase_start_ms = 50;   // after the checksum frame's answer, before '8'
    uint32_t erase_end_ms = 50;     // after that '8', before the next '8'
    uint32_t restart_ms = 50;       // restart into DEKE, before its '8'
    uint32_t perso_done_ms = 10;    // after the last personalization block, before '8'
};

struct PhoneConfig {
    // COM<port> in the port register; 0 takes the lowest free number from 1 up.
    int port = 0;
    // The port register directory; "" uses the engine's rule ($DEKVANTO_PORTS, else
    // ${XDG_CONFIG_HOME:-$HOME/.config}/dekvanto/ports). Created when missing.
    std::string register_dir;
    // Whether the PC reads the phone's answers (acknowledged mode) or ignores them (blind
    // mode). The phone answers the same in both; in acknowledged mode it also checks that the
    // PC waits for each answer that it has to read before it sends on.
    bool acknowledged = true;
    Expectations expect;
    PhoneDelays delays;
    // Off: bytes cross the pseudo-terminal at once. On: each byte takes its time on the line at
    // the speed in force, with the adapter's latency at each change of direction (LineWire).
    WireTiming wire;
    std::vector<Fault> faults;
    // Where loader.bin, code.bin, perso.bin and summary.json are written at the end; "" for
    // nowhere. Created when missing.
    std::string record_dir;
    // The session ends when the PC lets go of the line (closes its port) while the phone waits.
    // Off: the phone stays until it is stopped or goes idle, so that a test can look at the line
    // after the PC has closed it.
    bool end_on_release = true;
    // The session ends when nothing has come from the PC for this long while the phone waits.
    // The clock starts at the PC's first byte: before it the phone waits for the downloader to
    // start, however long that takes.
    uint32_t idle_timeout_ms = 10000;
    // After its last answer the phone keeps the line up to this long, until the PC has read
    // the answers (or, when it held the line exclusively, has let it go). Only a PC that never
    // does either waits this long.
    uint32_t linger_ms = 10000;
    // The line becomes the controlling terminal of the phone's own session (the program starts
    // a new session for it). No other session can then take it as its terminal when it opens
    // the device, as a Windows emulator's server does; otherwise that session's end would hang
    // the line up under the phone.
    bool own_terminal = false;
};

}  // namespace dekvanto::sim
