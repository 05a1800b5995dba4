#include "exit_status.h"

namespace dekvanto::cli {

ExitStatus ExitStatusOf(dekvanto::app::OutcomeClass outcome) {
    using dekvanto::app::OutcomeClass;
    switch (outcome) {
        case OutcomeClass::kFinished:
            return kFinished;
        case OutcomeClass::kOtherFailure:
            return kOtherFailure;
        case OutcomeClass::kBadRequest:
            return kBadUsage;
        case OutcomeClass::kStopped:
            return kStopped;
        case OutcomeClass::kPortError:
            return kPortError;
        case OutcomeClass::kFileError:
            return kFileError;
        case OutcomeClass::kNoAcknowledgement:
            return kNoAcknowledgement;
        case OutcomeClass::kUnsupportedSetting:
            return kUnsupportedSetting;
        case OutcomeClass::kMappingRefused:
            return kMappingRefused;
    }
    return kOtherFailure;
}

ExitStatus StatusOfDownloadResult(int32_t result) {
    return ExitStatusOf(dekvanto::app::ClassOfDownloadResult(result));
}

ExitStatus StatusOfMapCheck(int32_t result) {
    return ExitStatusOf(dekvanto::app::ClassOfMapCheck(result));
}

std::string ExitStatusHelp() {
    return "Exit status:\n"
           "  0  download finished (check-map: the files agree)\n"
           "  1  other failure (unknown result, engine library missing or incomplete)\n"
           "  2  bad usage (unknown option, value out of range, unknown product, no loader)\n"
           "  3  stopped (Ctrl-C)\n"
           "  4  port error (missing, busy or not permitted port, line failure)\n"
           "  5  file error (missing, unreadable or short file, no memory for it)\n"
           "  6  no or bad acknowledgement, or no synchronisation with the phone\n"
           "  7  setting not supported by the engine (speed, parity, stop bits, bus, wait "
           "states)\n"
           "  8  mapping check refused the code and personalization files\n"
           "Several stations: 0 when all finished, else the status of the first station (in "
           "the order of --port) that did not.\n";
}

}  // namespace dekvanto::cli
