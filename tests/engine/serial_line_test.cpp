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

struct LineBench {
    FakeClock clock;
    RecordingWindow window;
    int32_t debug = 1;
    ComError com_error{window, debug};
    ScriptedPort port{clock};
    SerialLine line{port, clock, com_error};
};

TEST(SerialLine, FailedOpenShowsItsMessageOnlyWithDebugMessages) {
    LineBench bench;
    bench.port.open_result = 10;
    EXPECT_FALSE(bench.line.Open(3));
    EXPECT_EQ(bench.window.boxes, std::vector<std::string>{"Error Open COM port"});
    bench.line.Close();  // nothing was opened: nothing to undo
    EXPECT_EQ(bench.port.calls, std::vector<std::string>{"open"});

    bench.debug = 0;
    bench.port.open_result = 13;
    EXPECT_FALSE(bench.line.Open(3));
    EXPECT_EQ(bench.window.boxes.size(), 1u);
}

TEST(SerialLine, CloseDropsDtrRestoresPurgesAndReleasesOnce) {
    LineBench bench;
    ASSERT_TRUE(bench.line.Open(3));
    bench.line.SetDtr();
    bench.line.Close();
    bench.line.Close();
    EXPECT_EQ(bench.port.calls,
              (std::vector<std::string>{"open", "dtr+", "dtr-", "restore", "purge", "release"}));
    EXPECT_TRUE(bench.window.boxes.empty());
}

TEST(SerialLine, SpeedSwitchRefusesUnknownIndicesAndReportsRefusedRates) {
    LineBench bench;
    ASSERT_TRUE(bench.line.Open(3));
    EXPECT_TRUE(bench.line.SetSpeed(3));
    EXPECT_EQ(bench.port.bit_rate, 460800u);
    EXPECT_FALSE(bench.line.SetSpeed(4));
    EXPECT_EQ(bench.port.bit_rate, 460800u);
    bench.port.refuse_bit_rates = true;
    EXPECT_FALSE(bench.line.SetSpeed(0));
    EXPECT_EQ(bench.window.boxes,
              (std::vector<std::string>{
                  "Speed not supported",
                  "Error in COM port Configuration:  \n Speed not supported by this COM"}));
}

TEST(SerialLine, AcknowledgementReadTellsAckWrongByteAndNothingApart) {
    LineBench bench;
    ASSERT_TRUE(bench.line.Open(3));
    uint8_t byte = 0;
    bench.port.answers = {0x06, 0x15, '8'};
    EXPECT_EQ(bench.line.ReadAck(&byte), kAcknowledged);
    EXPECT_EQ(bench.line.ReadAck(&byte), kWrongByte);
    EXPECT_EQ(bench.line.ReadAck(&byte), kWrongByte);
    const uint32_t before = bench.clock.TickMs();
    EXPECT_EQ(bench.line.ReadAck(&byte), kNoAnswer);
    EXPECT_EQ(bench.clock.TickMs() - before, 125u);  // 25 for the byte + 100
    bench.port.gone = true;
    EXPECT_EQ(bench.line.ReadAck(&byte), kNoAnswer);
}

TEST(SerialLine, SendAckWritesThenReadsOnlyWhenAsked) {
    LineBench bench;
    ASSERT_TRUE(bench.line.Open(3));
    uint8_t frame[3] = {1, 2, 3};
    bench.port.answers = {0x06};
    EXPECT_EQ(bench.line.SendAck(frame, 3, 0), 1);
    EXPECT_EQ(bench.port.reads, 0);
    EXPECT_EQ(bench.line.SendAck(frame, 3, 1), 0);
    EXPECT_EQ(frame[0], 0x06);  // the answer lands in the frame's first byte
    EXPECT_EQ(bench.line.SendAck(frame, 3, 1), -1);
    bench.port.answers = {0x15};
    EXPECT_EQ(bench.line.SendAck(frame, 3, 1), -1);
    EXPECT_EQ(bench.port.writes.size(), 4u);
    EXPECT_FALSE(bench.line.WriteFailed());
}

TEST(SerialLine, ShortOrFailedWritesAreRemembered) {
    LineBench bench;
    ASSERT_TRUE(bench.line.Open(3));
    bench.port.write_fails_at = 1;
    uint8_t byte = 0x40;
    uint32_t written = 0;
    EXPECT_TRUE(bench.line.Write(&byte, 1, written));
    EXPECT_FALSE(bench.line.WriteFailed());
    EXPECT_FALSE(bench.line.Write(&byte, 1, written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(bench.line.WriteFailed());
}

TEST(SerialLine, SyncWaitTakesOnlyTheFirstByte) {
    LineBench bench;
    ASSERT_TRUE(bench.line.Open(3));
    bench.port.answers = {'8'};
    EXPECT_TRUE(bench.line.WaitSync(5000));
    EXPECT_EQ(bench.port.read_timeout, 5050u);
    bench.port.answers = {0x06, '8'};
    EXPECT_FALSE(bench.line.WaitSync(5000));
    EXPECT_EQ(bench.port.answers.size(), 1u);  // the wrong byte was consumed, not the next
    bench.port.answers.clear();
    const uint32_t before = bench.clock.TickMs();
    EXPECT_FALSE(bench.line.WaitSync(20000));
    EXPECT_EQ(bench.clock.TickMs() - before, 20075u);
    bench.port.gone = true;  // a vanished line ends the wait at once instead of spinning
    EXPECT_FALSE(bench.line.WaitSync(60000));
    EXPECT_EQ(bench.port.reads, 4);
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
