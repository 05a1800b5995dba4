// The line operations over a scripted port: results, messages, and the pause that keeps the
// window alive.
#include "line/serial_line.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "line/wait_pump.h"

namespace dekvanto::engine {
namespace {

using testing::FakeClock;
using testing::RecordingWindow;
using testing::ScriptedPort;

struct LineOnDoubles {
    FakeClock clock;
    RecordingWindow window;
    int32_t debug = 1;
    ComError com_error{window, debug};
    ScriptedPort port{clock};
    SerialLine line{port, clock, com_error};
};

TEST(SerialLine, FailedOpenShowsItsMessageOnlyWithDebugMessages) {
    LineOnDoubles doubles;
    doubles.port.open_result = 10;
    EXPECT_FALSE(doubles.line.Open(3));
    EXPECT_EQ(doubles.window.boxes, std::vector<std::string>{"Error Open COM port"});
    doubles.line.Close();  // nothing was opened: nothing to undo
    EXPECT_EQ(doubles.port.calls, std::vector<std::string>{"open"});

    doubles.debug = 0;
    doubles.port.open_result = 13;
    EXPECT_FALSE(doubles.line.Open(3));
    EXPECT_EQ(doubles.window.boxes.size(), 1u);
}

TEST(SerialLine, CloseDropsDtrRestoresPurgesAndReleasesOnce) {
    LineOnDoubles doubles;
    ASSERT_TRUE(doubles.line.Open(3));
    doubles.line.SetDtr();
    doubles.line.Close();
    doubles.line.Close();
    EXPECT_EQ(doubles.port.calls,
              (std::vector<std::string>{"open", "dtr+", "dtr-", "restore", "purge", "release"}));
    EXPECT_TRUE(doubles.window.boxes.empty());
}

TEST(SerialLine, SpeedSwitchRefusesUnknownIndicesAndReportsRefusedRates) {
    LineOnDoubles doubles;
    ASSERT_TRUE(doubles.line.Open(3));
    EXPECT_TRUE(doubles.line.SetSpeed(3));
    EXPECT_EQ(doubles.port.bit_rate, 460800u);
    EXPECT_FALSE(doubles.line.SetSpeed(4));
    EXPECT_EQ(doubles.port.bit_rate, 460800u);
    doubles.port.refuse_bit_rates = true;
    EXPECT_FALSE(doubles.line.SetSpeed(0));
    EXPECT_EQ(doubles.window.boxes,
              (std::vector<std::string>{
                  "Speed not supported",
                  "Error in COM port Configuration:  \n Speed not supported by this COM"}));
}

TEST(SerialLine, AcknowledgementReadTellsAckWrongByteAndNothingApart) {
    LineOnDoubles doubles;
    ASSERT_TRUE(doubles.line.Open(3));
    uint8_t byte = 0;
    doubles.port.answers = {0x06, 0x15, '8'};
    EXPECT_EQ(doubles.line.ReadAck(&byte), kAcknowledged);
    EXPECT_EQ(doubles.line.ReadAck(&byte), kWrongByte);
    EXPECT_EQ(doubles.line.ReadAck(&byte), kWrongByte);
    const uint32_t before = doubles.clock.TickMs();
    EXPECT_EQ(doubles.line.ReadAck(&byte), kNoAnswer);
    EXPECT_EQ(doubles.clock.TickMs() - before, 125u);  // 25 for the byte + 100
    doubles.port.gone = true;
    EXPECT_EQ(doubles.line.ReadAck(&byte), kNoAnswer);
}

TEST(SerialLine, SendAckWritesThenReadsOnlyWhenAsked) {
    LineOnDoubles doubles;
    ASSERT_TRUE(doubles.line.Open(3));
    uint8_t frame[3] = {1, 2, 3};
    doubles.port.answers = {0x06};
    EXPECT_EQ(doubles.line.SendAck(frame, 3, 0), 1);
    EXPECT_EQ(doubles.port.reads, 0);
    EXPECT_EQ(doubles.line.SendAck(frame, 3, 1), 0);
    EXPECT_EQ(frame[0], 0x06);  // the answer lands in the frame's first byte
    EXPECT_EQ(doubles.line.SendAck(frame, 3, 1), -1);
    doubles.port.answers = {0x15};
    EXPECT_EQ(doubles.line.SendAck(frame, 3, 1), -1);
    EXPECT_EQ(doubles.port.writes.size(), 4u);
    EXPECT_FALSE(doubles.line.WriteFailed());
}

TEST(SerialLine, ShortOrFailedWritesAreRemembered) {
    LineOnDoubles doubles;
    ASSERT_TRUE(doubles.line.Open(3));
    doubles.port.write_fails_at = 1;
    uint8_t byte = 0x40;
    uint32_t written = 0;
    EXPECT_TRUE(doubles.line.Write(&byte, 1, written));
    EXPECT_FALSE(doubles.line.WriteFailed());
    EXPECT_FALSE(doubles.line.Write(&byte, 1, written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(doubles.line.WriteFailed());
}

TEST(SerialLine, SyncWaitTakesOnlyTheFirstByte) {
    LineOnDoubles doubles;
    ASSERT_TRUE(doubles.line.Open(3));
    doubles.port.answers = {'8'};
    EXPECT_TRUE(doubles.line.WaitSync(5000));
    EXPECT_EQ(doubles.port.read_timeout, 5050u);
    doubles.port.answers = {0x06, '8'};
    EXPECT_FALSE(doubles.line.WaitSync(5000));
    EXPECT_EQ(doubles.port.answers.size(), 1u);  // the wrong byte was consumed, not the next
    doubles.port.answers.clear();
    const uint32_t before = doubles.clock.TickMs();
    EXPECT_FALSE(doubles.line.WaitSync(20000));
    EXPECT_EQ(doubles.clock.TickMs() - before, 20075u);
    doubles.port.gone = true;  // a vanished line ends the wait at once instead of spinning
    EXPECT_FALSE(doubles.line.WaitSync(60000));
    EXPECT_EQ(doubles.port.reads, 4);
}

TEST(WaitPump, TestsTimeBeforeTheRunningFlag) {
    FakeClock clock;
    RecordingWindow window;
    std::atomic<int32_t> running{1};

    // Passes every 10 ms, the last one just past the end: the wait lasts 101 ms, not a slice more.
    const uint32_t before = clock.TickMs();
    EXPECT_EQ(WaitPump(100, window, clock, running), 0);
    EXPECT_EQ(clock.TickMs() - before, 101u);
    EXPECT_EQ(window.pumps, 12);

    running = 0;
    window.pumps = 0;
    EXPECT_EQ(WaitPump(100, window, clock, running), 1);
    EXPECT_EQ(window.pumps, 1);

    // The flag is cleared in the pass in which the time runs out: the time wins.
    running = 1;
    window.on_pump = [&](int) {
        clock.Advance(200);
        running = 0;
        return false;
    };
    EXPECT_EQ(WaitPump(100, window, clock, running), 0);
}

TEST(WaitPump, EndsOnAStopFromTheWindowOrAQuitRequest) {
    FakeClock clock;
    RecordingWindow window;
    std::atomic<int32_t> running{1};
    window.on_pump = [&](int pump) {
        if (pump == 3) {
            running = 0;  // the user's stop command runs inside the pause
        }
        return false;
    };
    EXPECT_EQ(WaitPump(5000, window, clock, running), 1);
    EXPECT_EQ(window.pumps, 3);

    running = 1;
    window.pumps = 0;
    window.on_pump = [](int pump) { return pump == 2; };
    EXPECT_EQ(WaitPump(5000, window, clock, running), 1);
    EXPECT_EQ(window.pumps, 2);
}

}  // namespace
}  // namespace dekvanto::engine
