#include "core/download/result_lines.h"

#include "dekvanto/mx40.h"

namespace dekvanto::core {
namespace {

// The failure's own line, for results reported as "DOWNLOAD ERROR" plus one line.
std::optional<StringId> FailureLine(int32_t result) {
    switch (result) {
        case MX40_RESULT_BAD_PARITY:
            return StringId::kParityNotSupported;
        case MX40_RESULT_BAD_SPEED:
            return StringId::kSpeedNotSupported;
        case MX40_RESULT_BAD_WAIT_STATES:
            return StringId::kWaitStateNotSupported;
        case MX40_RESULT_BAD_BUS_SIZE:
            return StringId::kRamSizeNotSupported;
        case MX40_RESULT_PORT_ERROR:
            return StringId::kErrorOpeningComPort;
        case MX40_RESULT_CODE_OPEN:
            return StringId::kErrorOpeningApplicationFile;
        case MX40_RESULT_LOADER_OPEN:
            return StringId::kErrorOpeningLoaderFile;
        case MX40_RESULT_FILE_MEMORY:
            return StringId::kNoMemoryApplicationFile;
        case MX40_RESULT_LOADER_MEMORY:
            return StringId::kNoMemoryLoaderFile;
        case MX40_RESULT_FILE_READ:
            return StringId::kErrorReadingApplicationFile;
        case MX40_RESULT_LOADER_READ:
            return StringId::kErrorReadingLoaderFile;
        case MX40_RESULT_NO_SETTINGS:
            return StringId::kComParamError;
        case MX40_RESULT_NO_FILES:
            return StringId::kFileParamError;
        case MX40_RESULT_PERSO_OPEN:
            return StringId::kErrorOpenPersoFile;
        case MX40_RESULT_NO_SYNC:
            return StringId::kNotSynchronized;
        case MX40_RESULT_BAD_ACK:
            return StringId::kBadAcknowledge;
        case MX40_RESULT_NO_ACK:
            return StringId::kNotAcknowledged;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::vector<StringId> DownloadResultLines(int32_t result, bool acknowledged) {
    if (result == MX40_RESULT_DONE) {
        return {acknowledged ? StringId::kDownloadCompleted : StringId::kDataFullySent};
    }
    if (result == MX40_RESULT_STOPPED || result == MX40_RESULT_STOPPED_WAITING) {
        return {StringId::kDownloadCanceled};
    }
    if (const auto line = FailureLine(result)) {
        return {StringId::kDownloadError, *line};
    }
    return {StringId::kDownloadErrorUnknown};
}

MapCheckLines MapCheckResultLines(int32_t result) {
    switch (result) {
        case MX40_MAP_COMPATIBLE:
            return {{StringId::kMappingOk}, true};
        case MX40_MAP_MISMATCH:
            return {{StringId::kMappingIncompatible, StringId::kDownloadError}, false};
        case MX40_MAP_NO_CODE_FILE:
            return {{StringId::kDownloadError, StringId::kMappingNoCodeFile}, false};
        case MX40_MAP_NO_PERSO_FILE:
            return {{StringId::kDownloadError, StringId::kMappingNoPersoFile}, false};
        case MX40_MAP_NOT_FOUND:
            return {{StringId::kMappingNotFound, StringId::kDownloadError}, false};
        default:
            return {{StringId::kDownloadErrorUnknown}, false};
    }
}

}  // namespace dekvanto::core
