// A thousand downloads in a row in one process, through the engine library's C interface: every
// one goes through, and the process holds no more descriptors or memory after the last than
// after the hundredth.
#include <gtest/gtest.h>

#include "download_session.h"
#include "process_figures.h"

namespace dekvanto::integration {
namespace {

TEST(LongRun, AThousandDownloadsThroughTheEngineLeaveNothingBehind) {
    UsePrivatePortRegister();
    const SessionFiles files = MakeFiles(2048, 8192, 1024);
    const std::string loader = files.loader.string();
    const std::string code = files.code.string();
    const std::string perso = files.perso.string();
    const LongRunFigures figures = RunLong(
        [&](int run) {
            dekvanto::sim::PhoneConfig phone;
            phone.delays = {0, 0, 0, 0, 0};  // the phone answers at once: only the engine's pauses
            DownloadRecords records;
            records.files = {loader.c_str(), code.c_str(), perso.c_str()};
            TestWindow window;
            const SessionResult session = RunSession(phone, records, &window);
            ASSERT_EQ(session.result, '2') << "download " << run;
            ASSERT_TRUE(session.summary.consistent)
                << "download " << run << ": " << ::testing::PrintToString(session.summary.errors);
        },
        [] {});
    ExpectNothingKept(figures);
    PrintFigures(figures, "download");
    std::filesystem::remove_all(files.dir);
}

}  // namespace
}  // namespace dekvanto::integration
