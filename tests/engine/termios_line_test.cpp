// The serial line on a real pseudo-terminal: opening through the port register, exclusivity,
// timed reads, speed switches as the far end sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "fakes.h"
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
};

// Whether the terminal is in exclusive mode: a further open fails, or, for a privileged process
// that may open it all the same, the mode reads back set.
bool HeldExclusively(const std::string &device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return errno == EBUSY;
    }
    int exclusive = 0;
    const bool known = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0;
    ::close(fd);
    return known && exclusive != 0;
}

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

TEST_F(TermiosLine, OpensAt2400WithoutModemLinesAndIsExclusive) {
    ASSERT_TRUE(line.Open(7));
    EXPECT_EQ(pty.BitRate(), 2400u);
    line.SetDtr();  // a pseudo-terminal has no DTR: not an error
    EXPECT_TRUE(window.boxes.empty());

    // A second opener, in this or another program, is refused while the download holds it.
    auto second_port = MakeSystemLinePort();
    SerialLine second(*second_port, SystemClock(), com_error);
    EXPECT_FALSE(second.Open(7));
    EXPECT_EQ(window.boxes, std::vector<std::string>{"Error Open COM port"});
    EXPECT_TRUE(HeldExclusively(pty.slave_path()));  // the refused opener left the hold alone

    line.Close();
    EXPECT_EQ(pty.BitRate(), 9600u);  // the port's own settings are back
    EXPECT_TRUE(second.Open(7));      // and the hold is released
    second.Close();
}

TEST_F(TermiosLine, MissingBusyOrForeignPortsGiveNothingHeld) {
    const int before = testing::OpenDescriptorCount();
    EXPECT_FALSE(line.Open(8));  // not in the register: /dev/ttyS7, absent or unusable
    const int holder = ::open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(line.Open(7));
    ::close(holder);
    // A register entry that is no terminal at all.
    std::system(("ln -s /dev/null " + pty.register_dir() + "/COM9").c_str());
    EXPECT_FALSE(line.Open(9));
    EXPECT_EQ(testing::OpenDescriptorCount(), before);
    EXPECT_EQ(window.boxes.size(), 3u);
}

TEST_F(TermiosLine, AcknowledgementReadsAnswerAtOnceOrAfterAbout125ms) {
    ASSERT_TRUE(line.Open(7));
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
    ASSERT_TRUE(line.Open(7));
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
    ASSERT_TRUE(line.Open(7));
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
    ASSERT_TRUE(line.Open(7));
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
    ASSERT_TRUE(line.Open(7));
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
