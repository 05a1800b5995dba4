#include "core/download/download_outcome.h"

#include "dekvanto/mx40.h"

namespace dekvanto::core {

OutcomeClass ClassOfDownloadResult(int32_t result) {
    switch (result & 0xFFFF) {
        case MX40_RESULT_DONE:
            return OutcomeClass::kFinished;
        case MX40_RESULT_STOPPED:
        case MX40_RESULT_STOPPED_WAITING:
            return OutcomeClass::kStopped;
        case MX40_RESULT_PORT_ERROR:
            return OutcomeClass::kPortError;
        case MX40_RESULT_CODE_OPEN:
        case MX40_RESULT_LOADER_OPEN:
        case MX40_RESULT_FILE_MEMORY:
        case MX40_RESULT_LOADER_MEMORY:
        case MX40_RESULT_FILE_READ:
        case MX40_RESULT_LOADER_READ:
        case MX40_RESULT_PERSO_OPEN:
        case MX40_RESULT_NO_FILES:
            return OutcomeClass::kFileError;
        case MX40_RESULT_NO_SYNC:
        case MX40_RESULT_BAD_ACK:
        case MX40_RESULT_NO_ACK:
            return OutcomeClass::kNoAcknowledgement;
        case MX40_RESULT_BAD_PARITY:
        case MX40_RESULT_BAD_SPEED:
        case MX40_RESULT_BAD_WAIT_STATES:
        case MX40_RESULT_BAD_BUS_SIZE:
        case MX40_RESULT_BAD_STOP_BITS:
            return OutcomeClass::kUnsupportedSetting;
        default:
            return OutcomeClass::kOtherFailure;
    }
}

OutcomeClass ClassOfMapCheck(int32_t result) {
    switch (result) {
        case MX40_MAP_COMPATIBLE:
            return OutcomeClass::kFinished;
        case MX40_MAP_NO_CODE_FILE:
        case MX40_MAP_NO_PERSO_FILE:
            return OutcomeClass::kFileError;
        default:
            return OutcomeClass::kMappingRefused;
    }
}

}  // namespace dekvanto::core
