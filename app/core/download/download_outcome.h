// How a download attempt ended, as a front end reports it beyond the log list: the class of the
// outcome, the engine's result character, the attempt's log lines, the bytes sent and how long
// the engine ran. A front end maps the class to what it shows or returns (the command-line tool
// to its exit status).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dekvanto::core {

enum class OutcomeClass {
    kFinished,            // the download finished ('2'); mapping check: compatible
    kOtherFailure,        // an unknown result, a missing engine function, no attempt made
    kBadRequest,          // the request itself: a missing file choice, an unknown value or
                          // product, a port name without a number
    kStopped,             // stopped by the user ('3', '4')
    kPortError,           // the port is missing, busy or not permitted, or failed ('9')
    kFileError,           // a file is missing, unreadable, too big or short
                          // (':', ';', '<', '=', '?', '@', 'D', 'B'; mapping check 12, 13)
    kNoAcknowledgement,   // no or bad acknowledgement, no synchronisation ('E', 'G', 'H')
    kUnsupportedSetting,  // speed, parity, stop bits, bus width or wait states refused by the
                          // engine ('5', '6', '7', '8', '>')
    kMappingRefused,      // the mapping check refused the code and personalization files
                          // (11, 14, 15 and any other answer)
};

// The class of a result of Mxl40_Download (only its low 16 bits count).
OutcomeClass ClassOfDownloadResult(int32_t result);

// The class of a CheckMapCompat result (10 gives kFinished).
OutcomeClass ClassOfMapCheck(int32_t result);

struct DownloadOutcome {
    OutcomeClass status = OutcomeClass::kOtherFailure;
    // The download's result character: the low 16 bits of Mxl40_Download's result, when the
    // engine ran the download.
    std::optional<int32_t> result;
    // CheckMapCompat's answer, when the check ran.
    std::optional<int32_t> map_check;
    // Every line the attempt added to the log list, the engine's among them, in order.
    std::vector<std::string> lines;
    // The last byte count the engine reported.
    uint64_t bytes = 0;
    // How long Mxl40_Download ran, in seconds (0 when it did not run).
    double seconds = 0;
};

}  // namespace dekvanto::core
