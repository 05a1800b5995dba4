// The serial line on a real pseudo-terminal: opening through the port register, exclusivity,
// timed reads, speed switches as the far end sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "fakes.h"
#include "line/port_register.h"
#include "line/serial_line.h"
#include "pty_port.h"

namespace dekvanto::engine {
namespace {

using testing::PtyPort;
using testing::RecordingWindow;

class TermiosLine : public ::testing::Test {
  protected:
    RecordingWindow window;
    int32_t debug = 1;
    ComError com_error{window, debug};
    PtyPort pty{7};
    std::unique_ptr<LinePort> port = MakeSystemLinePort();
    SerialLine line{*port, SystemClock(), com_error};

    void SetUp() override { line.SetDeviceName("\\\\.\\COM7"); }
};

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

TEST(PortRegister, EntriesComeFromTheVariableElseTheKernelPorts) {
    setenv("DEKVANTO_PORTS", "/nonexistent-register", 1);
    EXPECT_EQ(PortRegisterDirectory(), "/nonexistent-register");
    EXPECT_EQ(DeviceForPort(1), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPort(12), "/dev/ttyS11");
    EXPECT_EQ(DeviceForPort(0), std::nullopt);
    unsetenv("DEKVANTO_PORTS");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(PortRegisterDirectory(), "/cfg/dekvanto/ports");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(PortRegisterDirectory(), "/home/tech/.config/dekvanto/ports");

    EXPECT_EQ(PortNumberFromDeviceName("\\\\.\\COM12"), 12);
    EXPECT_EQ(PortNumberFromDeviceName("COM3"), 3);
    EXPECT_EQ(PortNumberFromDeviceName("\\\\.\\COM"), std::nullopt);
    EXPECT_EQ(PortNumberFromDeviceName("\\\\.\\COM1x"), std::nullopt);
    EXPECT_EQ(PortNumberFromDeviceName("\\\\.\\COM99999999999"), std::nullopt);
}

TEST_F(TermiosLine, OpensAt2400WithoutModemLinesAndIsExclusive) {
    ASSERT_TRUE(line.Open());
    EXPECT_EQ(pty.BitRate(), 2400u);
    line.SetDtr();  // a pseudo-terminal has no DTR: not an error
    EXPECT_TRUE(window.boxes.empty());

    // A second opener, in this or another program, is refused while the download holds it.
    auto second_port = MakeSystemLinePort();
    SerialLine second(*second_port, SystemClock(), com_error);
    second.SetDeviceName("\\\\.\\COM7");
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(window.boxes, std::vector<std::string>{"Error Open COM port"});

    line.Close();
    EXPECT_EQ(pty.BitRate(), 9600u);  // the port's own settings are back
    EXPECT_TRUE(second.Open());       // and the hold is released
    second.Close();
}

TEST_F(TermiosLine, MissingBusyOrForeignPortsGiveNothingHeld) {
    const int before = testing::OpenDescriptorCount();
    line.SetDeviceName("\\\\.\\COM8");  // not in the register: /dev/ttyS7, absent or unusable
    EXPECT_FALSE(line.Open());
    const int holder = ::open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    line.SetDeviceName("\\\\.\\COM7");
    EXPECT_FALSE(line.Open());
    ::close(holder);
    // A register entry that is no terminal at all.
    std::system(("ln -s /dev/null " + pty.register_dir() + "/COM9").c_str());
    line.SetDeviceName("\\\\.\\COM9");
    EXPECT_FALSE(line.Open());
    EXPECT_EQ(testing::OpenDescriptorCount(), before);
    EXPECT_EQ(window.boxes.size(), 3u);
}

TEST_F(TermiosLine, AcknowledgementReadsAnswerAtOnceOrAfterAbout125ms) {
    ASSERT_TRUE(line.Open());
    uint8_t byte = 0;
    pty.Send({0x06, 0x15});
    EXPECT_EQ(line.ReadAck(&byte), kAcknowledged);
    EXPECT_EQ(line.ReadAck(&byte), kWrongByte);
    EXPECT_EQ(byte, 0x15);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line.ReadAck(&byte), kNoAnswer);
    const auto waited = MillisecondsSince(start);
    EXPECT_GE(waited, 120);
    EXPECT_LT(waited, 2000);
}

// A character that comes while the wait runs is taken as soon as it arrives. The wait is long
// enough that no load on the machine can make the late sender miss it.
TEST_F(TermiosLine, SyncCharacterArrivingDuringTheWaitEndsItAtOnce) {
    ASSERT_TRUE(line.Open());
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        pty.Send({'8'});
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(line.WaitSync(60000));
    EXPECT_LT(MillisecondsSince(start), 30000);
    late.join();
}

TEST_F(TermiosLine, SyncWaitEndsAtOnceOnAnyOtherByte) {
    ASSERT_TRUE(line.Open());
    pty.Send({'7', '8'});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(line.WaitSync(5000));
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_TRUE(line.WaitSync(5000));
    const auto quiet = std::chrono::steady_clock::now();
    EXPECT_FALSE(line.WaitSync(100));
    EXPECT_GE(MillisecondsSince(quiet), 150);
}

TEST_F(TermiosLine, SpeedSwitchesAndWritesReachTheFarEnd) {
    ASSERT_TRUE(line.Open());
    const uint8_t frame[] = {0x06, 0x53, 0x07, 0x50, 0x00, 0x54, 0x01, 0x57};
    uint32_t written = 0;
    ASSERT_TRUE(line.Write(frame, sizeof frame, written));
    EXPECT_EQ(written, sizeof frame);
    EXPECT_EQ(pty.Receive(1000), std::vector<uint8_t>(std::begin(frame), std::end(frame)));
    for (int index = 0; index < 4; ++index) {
        ASSERT_TRUE(line.SetSpeed(index));
        EXPECT_EQ(pty.BitRate(), (std::array<uint32_t, 4>{57600, 115200, 230400, 460800}[index]));
    }
    EXPECT_FALSE(line.SetSpeed(4));
    EXPECT_EQ(pty.BitRate(), 460800u);
}

TEST_F(TermiosLine, AVanishedLineFailsWritesAndEndsReadsAtOnce) {
    ASSERT_TRUE(line.Open());
    pty.Unplug();
    uint8_t byte = 0x40;
    uint32_t written = 0;
    EXPECT_FALSE(line.Write(&byte, 1, written));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(line.WaitSync(60000));
    EXPECT_EQ(line.ReadAck(&byte), kNoAnswer);
    EXPECT_LT(MillisecondsSince(start), 5000);
    line.Close();
}

}  // namespace
}  // namespace dekvanto::engine
