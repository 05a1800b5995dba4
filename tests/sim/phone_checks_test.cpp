// What the phone finds wrong in what the PC sends, and how it answers it.
#include <gtest/gtest.h>

#include "phone_fixture.h"

namespace dekvanto::simtest {
namespace {

Download SmallDownload() {
    Download d;
    d.loader = Pattern(40, 1);
    d.code = Pattern(600, 2);
    return d;
}

TEST_F(PhoneTest, DamagedLineFrameIsRefused) {
    auto phone = StartPhone(QuickConfig());
    PcLine pc(phone->LinkPath());
    pc.Send(0x38);
    Bytes damaged = kLine115200;
    damaged.back() ^= 0x01;
    pc.Send(damaged);
    EXPECT_EQ(pc.Read(), 0x15);

    const dekvanto::sim::Summary s = phone->Finish();
    EXPECT_FALSE(s.consistent);
    EXPECT_TRUE(s.HasErrorContaining("line setup frame has check byte 0x56"))
        << ::testing::PrintToString(s.errors);
    EXPECT_EQ(s.counts.refusals, 1u);
}

// The phone accepts any well-formed settings, but reports those it was not told to expect.
TEST_F(PhoneTest, UnexpectedTargetAndLineSettingsAreReported) {
    dekvanto::sim::PhoneConfig config = QuickConfig();
    config.expect = {0x18, 115200, 0, 1, std::nullopt};
    auto phone = StartPhone(config);
    PcLine pc(phone->LinkPath());
    pc.Send(0x38);
    pc.Send(kLine460800);
    EXPECT_EQ(pc.Read(), 0x06);

    const dekvanto::sim::Summary s = phone->Finish();
    EXPECT_EQ(s.target_byte, 0x38);
    ASSERT_TRUE(s.line.has_value());
    EXPECT_EQ(s.line->bit_rate, 460800u);
    for (const char *found :
         {"memory target byte 0x38, expected 0x18", "460800 bit/s", "parity 2", "2 stop bits"}) {
        EXPECT_TRUE(s.HasErrorContaining(found)) << found;
    }
}

// A PC that stays at the wrong speed: 230400 instead of the announced 460800 for the loader and
// the code file, and does not go to 115200 for the personalization file.
TEST_F(PhoneTest, WrongLineSpeedOfEachPhaseIsReported) {
    auto phone = StartPhone(QuickConfig());
    Download d = SmallDownload();
    d.line_frame = kLine460800;
    d.bit_rate = 230400;
    d.perso = Pattern(20, 3);
    d.perso_bit_rate = 230400;
    PcLine pc(phone->LinkPath());
    EXPECT_EQ(PlayDownload(pc, d), "");

    const dekvanto::sim::Summary s = Ended(*phone);
    EXPECT_TRUE(s.complete);
    EXPECT_FALSE(s.consistent);
    EXPECT_TRUE(s.HasErrorContaining("loader phase came at 230400 bit/s, expected 460800"));
    EXPECT_TRUE(s.HasErrorContaining("request phase came at 230400 bit/s, expected 460800"));
    EXPECT_TRUE(s.HasErrorContaining("perso phase came at 230400 bit/s, expected 115200"));
}

TEST_F(PhoneTest, WrongChecksumAndShortBlockInTheMiddleAreRefused) {
    {
        SCOPED_TRACE("checksum");
        auto phone = StartPhone(QuickConfig());
        const Download d = SmallDownload();
        PcLine pc(phone->LinkPath());
        ASSERT_EQ(PlayUpToFiles(pc, d), "");
        pc.Send(SizeFrame(600));
        EXPECT_EQ(pc.Read(), 0x06);
        pc.Send(LongFrame(Bytes(d.code->begin(), d.code->begin() + 256)));
        pc.Send(LongFrame(Bytes(d.code->begin() + 256, d.code->begin() + 512)));
        pc.Send(LongFrame(Bytes(d.code->begin() + 512, d.code->end())));
        EXPECT_EQ(pc.Read(3), Bytes(3, 0x06));
        pc.Send(SumFrame(FileSum(*d.code) + 1));
        EXPECT_EQ(pc.Read(), 0x15);
        const dekvanto::sim::Summary s = phone->Finish();
        EXPECT_EQ(s.checksum_computed, FileSum(*d.code));
        EXPECT_TRUE(s.HasErrorContaining("checksum frame says"));
    }
    {
        SCOPED_TRACE("short block");
        auto phone = StartPhone(QuickConfig());
        PcLine pc(phone->LinkPath());
        ASSERT_EQ(PlayUpToFiles(pc, SmallDownload()), "");
        pc.Send(SizeFrame(600));
        EXPECT_EQ(pc.Read(), 0x06);
        pc.Send(LongFrame(Pattern(100, 5)));
        pc.Send(LongFrame(Pattern(256, 5)));
        pc.Send(LongFrame(Pattern(244, 5)));
        EXPECT_EQ(pc.Read(3), (Bytes{0x15, 0x06, 0x06}));
        const dekvanto::sim::Summary s = phone->Finish();
        EXPECT_TRUE(s.HasErrorContaining("block 1 of the code file carries only 100 bytes"));
    }
}

// In acknowledged mode the PC must wait for each answer it reads before it sends on, and stop
// at the first refused one.
TEST_F(PhoneTest, PcThatDoesNotWaitOrGoesOnAfterARefusalIsCaught) {
    {
        SCOPED_TRACE("request byte before the loader's '8'");
        dekvanto::sim::PhoneConfig config = QuickConfig();
        config.faults = {
            {dekvanto::sim::FaultKind::kDelay, {dekvanto::sim::Spot::kLoaderReady, 0}, 0, 300}};
        auto phone = StartPhone(config);
        Download d = SmallDownload();
        d.acknowledged = false;  // plays the loader without waiting for the '8'
        PcLine pc(phone->LinkPath(), /*exclusive=*/true);
        ASSERT_EQ(PlayBoot(pc, d), "");
        ASSERT_EQ(PlayLoader(pc, d), "");
        ASSERT_EQ(PlayRequest(pc, d), "");
        pc.Close();  // the phone ends once it has taken in the request byte
        const dekvanto::sim::Summary s = Ended(*phone);
        EXPECT_TRUE(s.HasErrorContaining(
            "the download request byte came before the PC could have read the answer to "
            "loader-ready"))
            << ::testing::PrintToString(s.errors);
    }
    {
        SCOPED_TRACE("checksum frame after a refused block");
        dekvanto::sim::PhoneConfig config = QuickConfig();
        config.faults = {
            {dekvanto::sim::FaultKind::kWrongAck, {dekvanto::sim::Spot::kCodeBlock, 2}, 0, 0}};
        auto phone = StartPhone(config);
        const Download d = SmallDownload();
        PcLine pc(phone->LinkPath(), /*exclusive=*/true);
        ASSERT_EQ(PlayUpToFiles(pc, d), "");
        EXPECT_EQ(PlayCode(pc, d), "code block 3: got 21");
        EXPECT_EQ(pc.Read(), 0x06);           // the third answer of the group
        pc.Send(SumFrame(FileSum(*d.code)));  // going on regardless
        pc.Close();
        const dekvanto::sim::Summary s = Ended(*phone);
        EXPECT_TRUE(s.HasErrorContaining("the PC went on with the checksum frame"))
            << ::testing::PrintToString(s.errors);
    }
}

}  // namespace
}  // namespace dekvanto::simtest
