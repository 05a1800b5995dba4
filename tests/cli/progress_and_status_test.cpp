// The exit status classes and the progress figures.
#include <gtest/gtest.h>

#include "dekvanto/mx40.h"
#include "exit_status.h"
#include "progress_meter.h"

namespace dekvanto::cli {
namespace {

TEST(ExitStatus, EachResultCharacterFallsIntoItsClass) {
    EXPECT_EQ(StatusOfDownloadResult('2'), kFinished);
    for (int c : {'3', '4'})
        EXPECT_EQ(StatusOfDownloadResult(c), kStopped) << char(c);
    EXPECT_EQ(StatusOfDownloadResult('9'), kPortError);
    for (int c : {':', ';', '<', '=', '?', '@', 'D', 'B'})
        EXPECT_EQ(StatusOfDownloadResult(c), kFileError) << char(c);
    for (int c : {'E', 'G', 'H'})
        EXPECT_EQ(StatusOfDownloadResult(c), kNoAcknowledgement);
    for (int c : {'5', '6', '7', '8', '>'})
        EXPECT_EQ(StatusOfDownloadResult(c), kUnsupportedSetting) << char(c);
    for (int c : {int('A'), int('C'), int('F'), 0, int('Z')})
        EXPECT_EQ(StatusOfDownloadResult(c), kOtherFailure);
    // Only the low 16 bits carry the character, as the window reads it.
    EXPECT_EQ(StatusOfDownloadResult(0x10000 + '2'), kFinished);
}

TEST(ExitStatus, MappingCheckResults) {
    EXPECT_EQ(StatusOfMapCheck(MX40_MAP_COMPATIBLE), kFinished);
    EXPECT_EQ(StatusOfMapCheck(MX40_MAP_NO_CODE_FILE), kFileError);
    EXPECT_EQ(StatusOfMapCheck(MX40_MAP_NO_PERSO_FILE), kFileError);
    for (int r : {MX40_MAP_MISMATCH, MX40_MAP_NO_PATH, MX40_MAP_NOT_FOUND, 99})
        EXPECT_EQ(StatusOfMapCheck(r), kMappingRefused) << r;
}

TEST(ProgressMeter, PercentRateAndTimeLeft) {
    ProgressMeter meter(100000);
    EXPECT_EQ(meter.Percent(), 0);
    EXPECT_LT(meter.SecondsLeft(), 0);  // no rate yet
    EXPECT_EQ(DurationText(meter.SecondsLeft()), "--:--");
    meter.OnBytes(25000, 2.0);  // 200 kbit in 2 s
    EXPECT_EQ(meter.Percent(), 25);
    EXPECT_DOUBLE_EQ(meter.RateKbits(), 100.0);
    EXPECT_DOUBLE_EQ(meter.SecondsLeft(), 6.0);
    EXPECT_EQ(meter.PlainText(), "progress  25%  25000 bytes  100.0 kbit/s  0:06 left");
    EXPECT_NE(meter.BarText().find("25000/100000 bytes"), std::string::npos);
}

TEST(ProgressMeter, PlainLinesOncePerTenthEvenWhenTenthsAreSkipped) {
    ProgressMeter meter(1000);
    meter.OnBytes(50, 1);
    EXPECT_FALSE(meter.TenthPassed());
    meter.OnBytes(350, 1);
    EXPECT_TRUE(meter.TenthPassed());
    EXPECT_FALSE(meter.TenthPassed());
    meter.OnBytes(5000, 1);  // past the total: capped at 100 %
    EXPECT_EQ(meter.Percent(), 100);
    EXPECT_TRUE(meter.TenthPassed());
    EXPECT_EQ(ProgressMeter(0).Percent(), 100);
}

TEST(ProgressMeter, DurationsFromAnHourUpShowHours) {
    EXPECT_EQ(DurationText(59.6), "1:00");
    EXPECT_EQ(DurationText(3723), "1:02:03");
}

}  // namespace
}  // namespace dekvanto::cli
