// The exit statuses of vanto: one per class of outcome, so that a script, or the bench window
// reading a bench's events, can tell a stopped download from a phone that did not answer without
// reading the log. A unit's "status" in the events is one of these too.
#pragma once

#include "core/download/download_outcome.h"

namespace dekvanto::core {

enum ExitStatus : int {
    kFinished = 0,            // the download finished ('2'); check-map: compatible
    kOtherFailure = 1,        // anything else: an unknown result, an engine that lacks a function
    kBadUsage = 2,            // a bad command line: unknown option, out-of-range value, no such
                              // product, no loader file
    kStopped = 3,             // stopped by Ctrl-C or SIGINT ('3', '4')
    kPortError = 4,           // the port is missing, busy or not permitted, or failed ('9')
    kFileError = 5,           // a file is missing, unreadable, too big or short
                              // (':', ';', '<', '=', '?', '@', 'D', 'B'; mapping check 12, 13)
    kNoAcknowledgement = 6,   // no or bad acknowledgement, no synchronisation ('E', 'G', 'H')
    kUnsupportedSetting = 7,  // speed, parity, stop bits, bus size or wait states refused by the
                              // engine ('5', '6', '7', '8', '>')
    kMappingRefused = 8,      // the mapping check refused the pair (11, 14, 15)
    kUnitsFailed = 9,         // bench: some unit did not pass (its record tells how it ended)
};

// The status for each class of outcome of the download control.
ExitStatus ExitStatusOf(OutcomeClass outcome);

// The class of outcome a status stands for; kUnitsFailed and unknown numbers are kOtherFailure.
OutcomeClass OutcomeOfExitStatus(int status);

}  // namespace dekvanto::core
