#include "core/download/exit_status.h"

#include <array>
#include <utility>

namespace dekvanto::core {
namespace {

constexpr std::array<std::pair<OutcomeClass, ExitStatus>, 9> kStatuses{{
    {OutcomeClass::kFinished, kFinished},
    {OutcomeClass::kOtherFailure, kOtherFailure},
    {OutcomeClass::kBadRequest, kBadUsage},
    {OutcomeClass::kStopped, kStopped},
    {OutcomeClass::kPortError, kPortError},
    {OutcomeClass::kFileError, kFileError},
    {OutcomeClass::kNoAcknowledgement, kNoAcknowledgement},
    {OutcomeClass::kUnsupportedSetting, kUnsupportedSetting},
    {OutcomeClass::kMappingRefused, kMappingRefused},
}};

}  // namespace

ExitStatus ExitStatusOf(OutcomeClass outcome) {
    for (const auto &[known, status] : kStatuses) {
        if (known == outcome) {
            return status;
        }
    }
    return kOtherFailure;
}

OutcomeClass OutcomeOfExitStatus(int status) {
    for (const auto &[outcome, known] : kStatuses) {
        if (known == status) {
            return outcome;
        }
    }
    return OutcomeClass::kOtherFailure;
}

}  // namespace dekvanto::core
