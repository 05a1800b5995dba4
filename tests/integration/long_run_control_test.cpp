// A thousand attempts in a row through the download control, with the real engine library, the
// settings file and the mapping check, each into a fresh simulated phone: every one completes, and
// the process holds no more descriptors or memory after the last than after the hundredth.
#include <gtest/gtest.h>

#include "control_rig.h"
#include "process_figures.h"

namespace dekvanto::core {
namespace {

using dekvanto::integration::ExpectNothingKept;
using dekvanto::integration::LongRunFigures;
using dekvanto::integration::PrintFigures;
using dekvanto::integration::RunLong;

TEST(LongRunControl, AThousandAttemptsThroughTheControlLeaveNothingBehind) {
    // Both files: every attempt runs the mapping check too. The settings file is on disk: every
    // attempt reads "RebootDelay" from it afresh.
    ControlRig rig({2048, 8192, 1024});
    rig.phone.delays = {0, 0, 0, 0, 0};  // the phone answers at once: only the engine's pauses
    const std::string completed =
        "------------------------DOWNLOAD COMPLETED--------------------------";

    const LongRunFigures figures = RunLong(
        [&](int run) {
            rig.view = RecordingView();
            const dekvanto::testing::PhoneRun phone_run = rig.PressStart();
            ASSERT_EQ(phone_run.setup_error, "");
            ASSERT_FALSE(rig.view.log.empty()) << "attempt " << run;
            ASSERT_EQ(rig.view.log.back(), completed) << "attempt " << run;
            ASSERT_TRUE(phone_run.summary.consistent) << "attempt " << run;
            ASSERT_EQ(rig.control->State(), DownloadState::kIdle);
        },  // the phone and its line are gone: only what the program keeps is counted
        [&] { rig.view = RecordingView(); });
    ExpectNothingKept(figures);
    PrintFigures(figures, "attempt");
}

}  // namespace
}  // namespace dekvanto::core
