// The fault matrix: every phase of a download in which the phone answers or the line may go
// wrong, crossed with what can go wrong there, each with the result, the log and the message box
// the technician must see. The cases are generated from one table of phases.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dekvanto::integration {

// The progress lines of a download's log, in the order they come. A failing download's log is
// the successful one cut after one of them, then "Close COM<n>" unless no '8' came.
enum class Mark {
    kOpen,           // "Open COM<n>"
    kSetSpeed,       // "Set Speed (115200)"
    kLoader,         // "Download <loader>"
    kStartFlash,     // " -> Starting Flash writing" (acknowledged only)
    kCode,           // "Download <code file>"
    kStartErasing,   // " -> Start End of Flash erasing" (acknowledged only)
    kEndErased,      // " -> End of flash Erased" (acknowledged only)
    kWaitingReboot,  // "Waiting DEKE Reboot (0 secondes)" (blind only)
    kPerso,          // "Download <personalization file>"
};

// A moment of the download as the engine's byte trace shows it: the nth chunk of bytes sent or
// byte received in a phase (MX40_TRACE_*, MX40_PHASE_*), or, when after_log is set, the first
// dispatch of events after the log line that starts with it.
struct Moment {
    int32_t direction = 0;
    int32_t phase = 0;
    int nth = 0;
    const char *after_log = nullptr;
};

// What the technician sees at the end.
struct Outcome {
    int32_t result = 0;  // the result character; 0: the case does not exist
    Mark mark = Mark::kOpen;
    const char *box = "";  // the box of a missing '8' (debug messages on), "" for none
};

enum class Mode { kAcknowledged, kBlind };

enum class Action {
    kPhoneFault,  // the phone misbehaves (faults in the simulator's text form)
    kStop,        // Mxl40_StartStop(0) at the moment
    kUnplug,      // the line vanishes at the moment
};

struct FaultCase {
    std::string name;
    Mode mode = Mode::kAcknowledged;
    Action action = Action::kPhoneFault;
    std::vector<std::string> faults;  // kPhoneFault
    Moment moment;                    // kStop, kUnplug
    Outcome outcome;
    // The box shown with debug messages on; "" for none. Not checked after an unplug, where
    // closing a vanished port adds boxes of its own.
    std::string box;
    // The phone's pauses before '8' that must outlast the engine's acknowledgement wait, so that
    // a missing answer is not taken for the '8' that follows it.
    uint32_t erase_start_ms = 0;
    uint32_t perso_done_ms = 0;
};

// Every case of the matrix.
std::vector<FaultCase> AllFaultCases();

// The sizes of the files every case sends: a loader of three groups of blocks (five, five and
// one), a code file of two groups (five and one), a personalization file of two blocks.
inline constexpr uint32_t kMatrixLoaderSize = 10 * 32 + 10;
inline constexpr uint32_t kMatrixCodeSize = 5 * 256 + 20;
inline constexpr uint32_t kMatrixPersoSize = 256 + 44;

}  // namespace dekvanto::integration
