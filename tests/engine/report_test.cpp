// What a download tells the window: texts, time formats and progress accounting.
#include <gtest/gtest.h>

#include "dekvanto/mx40.h"
#include "fakes.h"
#include "report/download_report.h"
#include "report/engine_texts.h"
#include "report/time_format.h"

namespace dekvanto::engine {
namespace {

using testing::FakeClock;
using testing::RecordingWindow;

std::time_t LocalTimeOf(int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = 2026 - 1900;
    parts.tm_mon = 11;
    parts.tm_mday = 7;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

TEST(EngineTexts, AreExactlyTheProductTexts) {
    EXPECT_STREQ(EngineText(kTextConfiguration),
                 "Error in COM port Configuration:  \n Speed not supported by this COM");
    EXPECT_STREQ(EngineText(kTextNoLoaderSync), "No synchonisation with loader !!");
    EXPECT_STREQ(EngineText(kTextWaitingReboot), "Waiting DEKE Reboot (%d secondes)");
    EXPECT_STREQ(EngineText(kTextPromptPersoFile),
                 "Hit return to start personalisation File Download !!!");
    EXPECT_STREQ(EngineText(kTextStartingTime), "Starting Time : %X ");
    EXPECT_STREQ(EngineText(9999), "");
}

TEST(TimeFormat, TimeOfDayAndDurations) {
    EXPECT_EQ(FormatTimeOfDay("Starting Time : %X ", LocalTimeOf(9, 5, 7)),
              "Starting Time : 09:05:07 ");
    EXPECT_EQ(FormatTimeOfDay("100%% %Q%", LocalTimeOf(9, 5, 7)), "100% Q%");
    // Hours are not shown by the total line: 1 h 2 min 3 s reads 02 Min 03 sec.
    EXPECT_EQ(FormatDuration("Total : %M Min %S sec", 3723), "Total : 02 Min 03 sec");
    EXPECT_EQ(FormatDuration("%D %H:%M:%S %Z", 2 * 86400 + 5 * 3600 + 59), "2 05:00:59 Z");
    EXPECT_EQ(FormatDuration("%M:%S", -4), "00:00");
}

TEST(DownloadReport, StartAndFinishMakeOneLineEach) {
    RecordingWindow window;
    FakeClock clock;
    clock.calendar_ = LocalTimeOf(9, 5, 7);
    DownloadReport report(window, clock);
    report.LogStart();
    clock.Advance(155 * 1000);
    report.LogFinish();
    EXPECT_EQ(window.LogLines(),
              (std::vector<std::string>{"Starting Time : 09:05:07 ",
                                        "Finish Time : 09:07:42 .Total : 02 Min 35 sec"}));
}

TEST(DownloadReport, FillsNumbersAndPathsAndSendsNothingWithoutWindow) {
    RecordingWindow window;
    FakeClock clock;
    DownloadReport report(window, clock);
    report.LogNumber(kTextOpenPort, 3);
    report.LogNumber(kTextSetSpeed, 115200);
    report.LogText(kTextDownloadFile, "/tmp/100% sure.bin");
    report.Log(kTextEndErasing);
    EXPECT_EQ(window.LogLines(),
              (std::vector<std::string>{"Open COM3", "Set Speed (115200)",
                                        "Download /tmp/100% sure.bin", " -> End of flash Erased"}));

    RecordingWindow none(false);
    DownloadReport silent(none, clock);
    silent.LogStart();
    silent.LogNumber(kTextOpenPort, 3);
    silent.StartProgress(150);
    silent.BlockSent(150);
    silent.SendByteCount();
    EXPECT_TRUE(none.LogLines().empty());
    EXPECT_EQ(silent.BytesSent(), 150u);
}

// Feeds a whole download through the accounting: the loader in 32-byte blocks, the other files
// in 256-byte blocks, as the stages send them.
int StepsFor(RecordingWindow &window, std::vector<uint32_t> files) {
    FakeClock clock;
    DownloadReport report(window, clock);
    uint64_t total = 0;
    for (uint32_t f : files) {
        total += f;
    }
    report.StartProgress(total);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const uint32_t block = i == 0 ? 32 : 256;
        for (uint32_t sent = 0; sent < files[i]; sent += block) {
            report.BlockSent(std::min(block, files[i] - sent));
        }
    }
    EXPECT_EQ(report.BytesSent(), total);
    return window.CountOf(MX40_WM_PROGRESS_STEP);
}

TEST(DownloadReport, ProgressStepsAreHundredthsOfTheTotal) {
    RecordingWindow window;
    EXPECT_EQ(StepsFor(window, {1000, 20000, 30000}), 100);
    // The first step comes with the block that passes 510 bytes, after the events ran once.
    const auto first_step =
        std::find_if(window.messages.begin(), window.messages.end(),
                     [](auto &m) { return m.message == MX40_WM_PROGRESS_STEP; });
    ASSERT_NE(first_step, window.messages.begin());
    EXPECT_EQ((first_step - 1)->message, MX40_WM_BYTE_COUNT);
    EXPECT_EQ((first_step - 1)->wparam, 512u);
    EXPECT_EQ(window.pumps, window.CountOf(MX40_WM_BYTE_COUNT));

    RecordingWindow small;
    EXPECT_EQ(StepsFor(small, {150}), 150);
    EXPECT_EQ(small.CountOf(MX40_WM_BYTE_COUNT), 5);  // one per 32-byte block: 32*4 + 22

    RecordingWindow odd;
    EXPECT_EQ(StepsFor(odd, {1, 12345, 678}), (1 + 12345 + 678) / ((1 + 12345 + 678) / 100));
}

TEST(DownloadReport, TinyAndEmptyTotalsNeitherDivideByZeroNorLoop) {
    RecordingWindow window;
    EXPECT_EQ(StepsFor(window, {40}), 40);
    RecordingWindow empty;
    EXPECT_EQ(StepsFor(empty, {0, 0}), 0);
    EXPECT_TRUE(empty.messages.empty());
}

}  // namespace
}  // namespace dekvanto::engine
