// What one simulated download came to: the phases the phone reached, what it received, what it
// found wrong, and how it ended. Written as summary.json beside the received images.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dekvanto::sim {

// The line settings announced in the line setup frame.
struct LineSettings {
    uint32_t bit_rate = 0;  // 0 when the speed code was not one of 6..9
    int parity = 0;         // 0 none, 1 odd, 2 even
    int stop_bits = 1;      // 1 or 2
};

struct Counts {
    uint32_t loader_blocks = 0;  // loader blocks received (the end frame not counted)
    uint32_t code_blocks = 0;
    uint32_t perso_blocks = 0;
    uint32_t acks = 0;         // 0x06 answers sent
    uint32_t refusals = 0;     // answers other than 0x06 sent (bad frames, nak faults)
    uint32_t silences = 0;     // answers or '8' left out (silent, nosync faults)
    uint32_t syncs = 0;        // '8' sent
    uint32_t wrong_syncs = 0;  // bytes sent instead of '8' (badsync faults)
    uint32_t unheard = 0;      // answers not sent because the PC had not the line in raw mode
                               // or did not read (its input queue was full)
};

// Why the session ended.
enum class EndReason {
    kFinished,   // the last answer of the download was sent
    kIdle,       // nothing came from the PC for the idle time while the phone waited
    kReleased,   // the PC let go of the line while the phone waited
    kStopped,    // stopped from outside
    kUnplugged,  // an unplug fault took the line away
    kGaveUp,     // a frame the phone cannot go on from (a size frame it could not read)
};

std::string_view EndReasonName(EndReason reason);

struct Summary {
    // No error was found and the download was complete.
    bool consistent = false;
    // Every phase that the download request byte announced was received and answered.
    bool complete = false;
    EndReason end = EndReason::kStopped;
    std::string waiting_for;   // what the phone waited for when the session ended early
    bool acknowledged = true;  // the mode the phone was told the PC uses

    // Phases reached, in order: target, line, loader, loader-ready, request, code, checksum,
    // erase-start, erase-end, deke-ready, perso, perso-done.
    std::vector<std::string> phases;
    // Everything found wrong, in the order found.
    std::vector<std::string> errors;
    // The faults injected, in their text form.
    std::vector<std::string> faults;

    std::optional<uint8_t> target_byte;
    std::optional<LineSettings> line;
    std::optional<uint8_t> request_byte;
    // Line speed in bit/s at the first byte of each phase: target, line, loader, request,
    // perso. Acknowledged mode only: there the PC waits for the phone before it switches speed,
    // so the speed in force when the phone has read the bytes is the one they were sent at. In
    // blind mode it proves nothing and the map stays empty. 0 when the PC had already closed its
    // port (its settings restored); such a phase is not checked.
    std::map<std::string, uint32_t> speeds;
    Counts counts;

    std::optional<uint32_t> code_size;   // announced in the code file's size frame
    std::optional<uint32_t> perso_size;  // announced in the personalization size frame
    std::optional<uint16_t> checksum_received;
    std::optional<uint16_t> checksum_computed;
    // Milliseconds between the last frame before the personalization file (the checksum frame,
    // or the request byte without a code file) and its size frame.
    std::optional<int64_t> perso_gap_ms;
    // Phones that come and go: milliseconds from the phone's arrival on the line to the first
    // byte of the PC's first attempt that met it (a bench's answer time).
    std::optional<int64_t> arrival_wait_ms;

    // The images as received, byte for byte.
    std::vector<uint8_t> loader;
    std::vector<uint8_t> code;
    std::vector<uint8_t> perso;

    bool Reached(std::string_view phase) const;
    bool HasErrorContaining(std::string_view text) const;
};

// The summary as a JSON object (the images are left out; they go to their own files).
std::string SummaryJson(const Summary &summary);

// Writes loader.bin (once the loader phase was reached), code.bin and perso.bin (once their
// size frame came) and summary.json into dir, creating it when missing. False with the reason
// in error when something could not be written.
bool WriteRecord(const std::string &dir, const Summary &summary, std::string &error);

}  // namespace dekvanto::sim
