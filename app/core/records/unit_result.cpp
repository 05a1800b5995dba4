#include "core/records/unit_result.h"

#include <cstdio>

#include "core/records/unit_record.h"
#include "dekvanto/mx40.h"

namespace dekvanto::core {
namespace {

constexpr std::string_view kDownloadPrefix = "Download ";

std::string_view StagePhrase(DownloadStage stage) {
    switch (stage) {
        case DownloadStage::kLineSetup:
            return "at the line setup";
        case DownloadStage::kLoader:
            return "in the loader";
        case DownloadStage::kCode:
            return "in the code file";
        case DownloadStage::kPerso:
            return "in the personalization file";
    }
    return "";
}

// What went wrong on the line, for the results that say so; empty for the others.
std::string_view LineFailure(int32_t result) {
    switch (result) {
        case MX40_RESULT_NO_ACK:
            return "no acknowledgement";
        case MX40_RESULT_BAD_ACK:
            return "bad acknowledgement";
        case MX40_RESULT_NO_SYNC:
            return "no synchronisation";
        case MX40_RESULT_PORT_ERROR:
            return "port failure";
        default:
            return "";
    }
}

// A result line without its frame of dashes and blanks, and without a closing " !".
std::string Unframed(const std::string &line) {
    const auto first = line.find_first_not_of("- ");
    if (first == std::string::npos) {
        return "";
    }
    std::string text = line.substr(first, line.find_last_not_of("- ") - first + 1);
    while (!text.empty() && (text.back() == '!' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

std::string WithSeconds(const char *word, double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %.1f s", word, seconds);
    return text;
}

}  // namespace

DownloadStage StageOf(const std::vector<std::string> &log, const StagePaths &paths) {
    for (auto line = log.rbegin(); line != log.rend(); ++line) {
        if (!line->starts_with(kDownloadPrefix)) {
            continue;
        }
        const std::string_view path = std::string_view(*line).substr(kDownloadPrefix.size());
        if (!paths.perso.empty() && path == paths.perso) {
            return DownloadStage::kPerso;
        }
        if (!paths.code.empty() && path == paths.code) {
            return DownloadStage::kCode;
        }
        if (path == paths.loader) {
            return DownloadStage::kLoader;
        }
    }
    return DownloadStage::kLineSetup;
}

std::string FailureReason(const DownloadOutcome &outcome, DownloadStage stage, bool acknowledged) {
    if (outcome.result) {
        if (const std::string_view failure = LineFailure(*outcome.result & 0xFFFF);
            !failure.empty()) {
            return std::string(failure) + " " + std::string(StagePhrase(stage));
        }
    }
    return Unframed(ResultLineOf(outcome, acknowledged));
}

std::string UnitResultText(const DownloadOutcome &outcome, DownloadStage stage, bool acknowledged) {
    if (outcome.status == OutcomeClass::kFinished) {
        return WithSeconds("PASS", outcome.seconds);
    }
    if (outcome.status == OutcomeClass::kStopped) {
        return WithSeconds("STOPPED", outcome.seconds);
    }
    const std::string reason = FailureReason(outcome, stage, acknowledged);
    return reason.empty() ? "FAIL" : "FAIL " + reason;
}

}  // namespace dekvanto::core
