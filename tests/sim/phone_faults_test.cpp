// Faults committed by the phone at the places it is told.
#include <gtest/gtest.h>

#include <chrono>

#include "phone_fixture.h"

namespace dekvanto::simtest {
namespace {

using dekvanto::sim::FaultKind;
using dekvanto::sim::Spot;

dekvanto::sim::PhoneConfig WithFaults(dekvanto::sim::PhoneConfig config,
                                      std::vector<dekvanto::sim::Fault> faults) {
    config.faults = std::move(faults);
    return config;
}

Download CodeDownload(size_t code_size) {
    Download d;
    d.loader = Pattern(10, 1);
    d.code = Pattern(code_size, 2);
    return d;
}

TEST_F(PhoneTest, WrongOrMissingAnswersAtTheirPlaces) {
    {
        SCOPED_TRACE("nak=0x21@line");
        auto phone = StartPhone(
            WithFaults(QuickConfig(), {{FaultKind::kWrongAck, {Spot::kLineFrame, 0}, 0x21, 0}}));
        PcLine pc(phone->LinkPath());
        EXPECT_EQ(PlayBoot(pc, CodeDownload(1)), "line setup frame: got 33");
        EXPECT_EQ(phone->Finish().counts.refusals, 1u);
    }
    {
        SCOPED_TRACE("silent@code-size");
        auto phone = StartPhone(
            WithFaults(QuickConfig(), {{FaultKind::kNoAck, {Spot::kCodeSize, 0}, 0, 0}}));
        PcLine pc(phone->LinkPath());
        ASSERT_EQ(PlayUpToFiles(pc, CodeDownload(1)), "");
        pc.Send(SizeFrame(1));
        EXPECT_TRUE(pc.QuietFor(300));
        pc.Send(LongFrame({0x41}));  // the phone itself goes on
        EXPECT_EQ(pc.Read(), 0x06);
        EXPECT_EQ(phone->Finish().counts.silences, 1u);
    }
}

TEST_F(PhoneTest, WrongOrMissingSynchronisationInsteadOfEight) {
    auto phone =
        StartPhone(WithFaults(QuickConfig(), {{FaultKind::kWrongSync, {Spot::kEraseEnd, 0}, 0, 0},
                                              {FaultKind::kNoSync, {Spot::kDekeReady, 0}, 0, 0}}));
    Download d = CodeDownload(300);
    d.perso = Pattern(5, 3);
    PcLine pc(phone->LinkPath(), /*exclusive=*/true);
    ASSERT_EQ(PlayUpToFiles(pc, d), "");
    EXPECT_EQ(PlayCode(pc, d), "erase end: got 57");  // 0x39
    EXPECT_TRUE(pc.QuietFor(300));                    // no '8' from DEKE
    pc.Close();  // the phone ends once it has been through its restart

    const dekvanto::sim::Summary s = Ended(*phone);
    EXPECT_EQ(s.counts.wrong_syncs, 1u);
    EXPECT_EQ(s.counts.silences, 1u);
    EXPECT_TRUE(s.Reached("deke-ready"));
}

TEST_F(PhoneTest, DelayedAnswerComesLate) {
    auto phone =
        StartPhone(WithFaults(QuickConfig(), {{FaultKind::kDelay, {Spot::kChecksum, 0}, 0, 500}}));
    const Download d = CodeDownload(3);
    PcLine pc(phone->LinkPath());
    ASSERT_EQ(PlayUpToFiles(pc, d), "");
    pc.Send(SizeFrame(3));
    pc.Send(LongFrame(*d.code));
    EXPECT_EQ(pc.Read(2), Bytes(2, 0x06));
    // Timed from before the frame is sent: the phone may read it and start its wait before this
    // thread runs again after the write, so a time taken after the write can be late.
    const auto sent = std::chrono::steady_clock::now();
    pc.Send(SumFrame(FileSum(*d.code)));
    EXPECT_EQ(pc.Read(), 0x06);
    // The phone waits 500 ms from the frame's arrival, which is after this time; a loaded
    // machine can only make the answer later.
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(500));
    EXPECT_EQ(pc.Read(), '8');
}

// The acknowledgements of five blocks come only once the fifth has arrived: a PC that read an
// answer after each code block would wait in vain; one that reads them in fives goes through.
TEST_F(PhoneTest, WithheldAnswersComeOnlyAfterTheFifthBlock) {
    auto phone =
        StartPhone(WithFaults(QuickConfig(), {{FaultKind::kWithhold, {Spot::kCodeFile, 0}, 0, 0}}));
    const Download d = CodeDownload(1281);
    PcLine pc(phone->LinkPath());
    ASSERT_EQ(PlayUpToFiles(pc, d), "");
    pc.Send(SizeFrame(1281));
    EXPECT_EQ(pc.Read(), 0x06);
    for (size_t block = 0; block < 4; ++block) {
        pc.Send(
            LongFrame(Bytes(d.code->begin() + block * 256, d.code->begin() + block * 256 + 256)));
    }
    EXPECT_TRUE(pc.QuietFor(200));
    pc.Send(LongFrame(Bytes(d.code->begin() + 1024, d.code->begin() + 1280)));
    EXPECT_EQ(pc.Read(5), Bytes(5, 0x06));
    pc.Send(LongFrame({d.code->back()}));
    EXPECT_EQ(pc.Read(), 0x06);  // the last block ends its group
    pc.Send(SumFrame(FileSum(*d.code)));
    EXPECT_EQ(pc.Read(3), (Bytes{0x06, '8', '8'}));

    const dekvanto::sim::Summary s = Ended(*phone);
    EXPECT_TRUE(s.consistent) << ::testing::PrintToString(s.errors);
    EXPECT_EQ(s.code, *d.code);
}

TEST_F(PhoneTest, UnplugTakesTheLineAway) {
    auto phone =
        StartPhone(WithFaults(QuickConfig(), {{FaultKind::kUnplug, {Spot::kCodeBlock, 2}, 0, 0}}));
    const std::string link = phone->LinkPath();
    const Download d = CodeDownload(600);
    PcLine pc(link);
    ASSERT_EQ(PlayUpToFiles(pc, d), "");
    pc.Send(SizeFrame(600));
    EXPECT_EQ(pc.Read(), 0x06);
    // Answers still on their way vanish with the line, so each is read before going on.
    pc.Send(LongFrame(Bytes(d.code->begin(), d.code->begin() + 256)));
    EXPECT_EQ(pc.Read(), 0x06);
    pc.Send(LongFrame(Bytes(d.code->begin() + 256, d.code->begin() + 512)));
    EXPECT_TRUE(pc.HangsUp());

    const dekvanto::sim::Summary s = Ended(*phone);
    EXPECT_EQ(s.end, dekvanto::sim::EndReason::kUnplugged);
    EXPECT_FALSE(s.consistent);
    EXPECT_EQ(s.code.size(), 512u);
    EXPECT_TRUE(LinkGone(link));
}

}  // namespace
}  // namespace dekvanto::simtest
