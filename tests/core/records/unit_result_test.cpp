// The words of a bench's permanent line: a line failure told with the file it happened in (the
// last file of the unit that the log names), any other failure with its own result line.
#include "core/records/unit_result.h"

#include <gtest/gtest.h>

#include "dekvanto/mx40.h"

namespace dekvanto::core {
namespace {

DownloadOutcome Ended(OutcomeClass status, std::optional<int32_t> result,
                      std::vector<std::string> lines, double seconds = 0) {
    DownloadOutcome outcome;
    outcome.status = status;
    outcome.result = result;
    outcome.lines = std::move(lines);
    outcome.seconds = seconds;
    return outcome;
}

TEST(UnitResult, LineFailuresNameTheirFileOtherFailuresTheirLine) {
    const StagePaths paths{"/fw/loader.bin", "/fw/code.bin", "/fw/perso.psb"};
    const std::vector<std::string> in_code{"Open COM3", "Download /fw/loader.bin",
                                           " -> Starting Flash writing", "Download /fw/code.bin"};
    const auto no_ack = OutcomeClass::kNoAcknowledgement;
    const struct {
        DownloadOutcome outcome;
        bool acknowledged;
        std::string words;
    } cases[] = {
        {Ended(OutcomeClass::kFinished, '2', in_code, 57.06), true, "PASS 57.1 s"},
        {Ended(OutcomeClass::kStopped, '4', in_code, 3), true, "STOPPED 3.0 s"},
        {Ended(no_ack, 'H', in_code), true, "FAIL no acknowledgement in the code file"},
        // The result's upper bits carry no meaning here.
        {Ended(no_ack, 0x10000 | 'G', {"Open COM3"}), true,
         "FAIL bad acknowledgement at the line setup"},
        {Ended(no_ack, 'E', {"Download /fw/loader.bin", "Download /fw/perso.psb", "Close COM3"}),
         true, "FAIL no synchronisation in the personalization file"},
        {Ended(OutcomeClass::kPortError, '9', {"Download /fw/loader.bin", "Download /x.bin"}), true,
         "FAIL port failure in the loader"},
        {Ended(OutcomeClass::kFileError, ':', in_code), true,
         "FAIL Error opening application file"},
        {Ended(OutcomeClass::kOtherFailure, std::nullopt, {"Open COM3", "some last line"}), false,
         "FAIL some last line"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(UnitResultText(c.outcome, StageOf(c.outcome.lines, paths), c.acknowledged),
                  c.words);
    }
}

}  // namespace
}  // namespace dekvanto::core
