// The phone's COM<n> entry in the port register, and how a session ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "phone_fixture.h"
#include "sim/pty_line.h"

namespace dekvanto::simtest {
namespace {

namespace fs = std::filesystem;

TEST_F(PhoneTest, TakesTheLowestFreePortAndGivesItBackAtTheEnd) {
    fs::create_directories(ports_);
    std::ofstream(ports_ / "COM1") << "a device that exists";
    fs::create_symlink("/dev/pts/no-such-device", ports_ / "COM2");  // left by a crashed run

    auto phone = StartPhone(QuickConfig());
    EXPECT_EQ(phone->PortNumber(), 2);
    EXPECT_EQ(fs::read_symlink(phone->LinkPath()), phone->SlavePath());

    dekvanto::sim::PhoneConfig taken = QuickConfig();
    taken.port = 2;
    dekvanto::sim::PhoneSimulator second(taken);
    EXPECT_FALSE(second.Start());
    EXPECT_NE(second.SetupError().find("COM2 is already registered"), std::string::npos);

    const std::string link = phone->LinkPath();
    phone->Finish();
    EXPECT_TRUE(LinkGone(link));
    EXPECT_TRUE(fs::exists(ports_ / "COM1"));
}

TEST_F(PhoneTest, SessionEndsWhenIdleStoppedOrReleased) {
    {
        SCOPED_TRACE("idle");
        dekvanto::sim::PhoneConfig config = QuickConfig();
        config.idle_timeout_ms = 200;  // counted from the PC's latest byte
        auto phone = StartPhone(config);
        PcLine pc(phone->LinkPath());
        pc.Send(0x38);
        const dekvanto::sim::Summary s = Ended(*phone);
        EXPECT_EQ(s.end, dekvanto::sim::EndReason::kIdle);
        EXPECT_EQ(s.waiting_for, "the line setup frame");
        EXPECT_FALSE(s.complete);
    }
    {
        SCOPED_TRACE("stopped");
        dekvanto::sim::PhoneConfig config = QuickConfig();
        config.idle_timeout_ms = 200;
        auto phone = StartPhone(config);
        // Without a first byte from the PC the idle clock does not run: the phone still waits.
        EXPECT_EQ(phone->Wait(std::chrono::milliseconds(400)), std::nullopt);
        const dekvanto::sim::Summary s = phone->Finish();
        EXPECT_EQ(s.end, dekvanto::sim::EndReason::kStopped);
        EXPECT_EQ(s.waiting_for, "the memory target byte");
    }
    {
        SCOPED_TRACE("released");
        dekvanto::sim::PhoneConfig config = QuickConfig();
        config.idle_timeout_ms = 60000;
        auto phone = StartPhone(config);
        PcLine pc(phone->LinkPath(), /*exclusive=*/true);
        pc.Send(0x38);
        pc.Send(kLine115200);
        EXPECT_EQ(pc.Read(), 0x06);
        pc.Close();
        const dekvanto::sim::Summary s = Ended(*phone);
        EXPECT_EQ(s.end, dekvanto::sim::EndReason::kReleased);
        EXPECT_EQ(s.waiting_for, "loader block 1 or the end frame");
    }
}

// A PC that opens the line twice before the phone looks (Wine keeps a second descriptor of the
// device) has not let go at its first close: the two open notifications merge into one.
TEST_F(PhoneTest, APcWithTwoDescriptorsHasLetGoOnlyAfterClosingBoth) {
    std::string error;
    const auto line = dekvanto::sim::PtyLine::Open(0, ports_.string(), error);
    ASSERT_NE(line, nullptr) << error;
    const int first = ::open(line->LinkPath().c_str(), O_RDWR | O_NOCTTY);
    const int second = ::open(line->LinkPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    ::close(second);
    EXPECT_FALSE(line->PcOpenings().LetGo());
    ::close(first);
    EXPECT_TRUE(line->PcOpenings().LetGo());
}

}  // namespace
}  // namespace dekvanto::simtest
