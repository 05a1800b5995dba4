#include "exit_status.h"

#include "dekvanto/mx40.h"

namespace dekvanto::cli {

ExitStatus StatusOfDownloadResult(int32_t result) {
    switch (result & 0xFFFF) {
        case MX40_RESULT_DONE:
            return kFinished;
        case MX40_RESULT_STOPPED:
        case MX40_RESULT_STOPPED_WAITING:
            return kStopped;
        case MX40_RESULT_PORT_ERROR:
            return kPortError;
        case MX40_RESULT_CODE_OPEN:
        case MX40_RESULT_LOADER_OPEN:
        case MX40_RESULT_FILE_MEMORY:
        case MX40_RESULT_LOADER_MEMORY:
        case MX40_RESULT_FILE_READ:
        case MX40_RESULT_LOADER_READ:
        case MX40_RESULT_PERSO_OPEN:
        case MX40_RESULT_NO_FILES:
            return kFileError;
        case MX40_RESULT_NO_SYNC:
        case MX40_RESULT_BAD_ACK:
        case MX40_RESULT_NO_ACK:
            return kNoAcknowledgement;
        case MX40_RESULT_BAD_PARITY:
        case MX40_RESULT_BAD_SPEED:
        case MX40_RESULT_BAD_WAIT_STATES:
        case MX40_RESULT_BAD_BUS_SIZE:
        case MX40_RESULT_BAD_STOP_BITS:
            return kUnsupportedSetting;
        default:
            return kOtherFailure;
    }
}

ExitStatus StatusOfMapCheck(int32_t result) {
    switch (result) {
        case MX40_MAP_COMPATIBLE:
            return kFinished;
        case MX40_MAP_NO_CODE_FILE:
        case MX40_MAP_NO_PERSO_FILE:
            return kFileError;
        default:
            return kMappingRefused;
    }
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
