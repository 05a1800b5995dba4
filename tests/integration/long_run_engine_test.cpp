// A thousand downloads in a row in one process, through the engine library's C interface: every
// one goes through, and the process holds no more descriptors or memory after the last than
// after the hundredth.
#include <gtest/gtest.h>

#include "download_session.h"
#include "process_figures.h"

namespace dekvanto::integration {
namespace {

TEST(LongRun, AThousandDownloadsThroughTheEngineLeaveNothingBehind) {
    const dekvanto::testing::DownloadRig rig({2048, 8192, 1024});
    const LongRunFigures figures = RunLong(
        [&](int run) {
            dekvanto::sim::PhoneConfig phone;
            phone.delays = {0, 0, 0, 0, 0};  // the phone answers at once: only the engine's pauses
            DownloadRecords records;
            records.UseFiles(rig.files);
            TestWindow window;
            const SessionResult session = RunSession(phone, records, &window);
            ASSERT_EQ(session.result, '2') << "download " << run;
            ASSERT_TRUE(session.summary.consistent)
                << "download " << run << ": " << ::testing::PrintToString(session.summary.errors);
        },
        [] {});
    ExpectNothingKept(figures);
    PrintFigures(figures, "download");
}

}  // namespace
}  // namespace dekvanto::integration
