// The wire-timed line: bytes reach the phone one byte time after another at the speed they were
// sent at, a turn-around costs the adapter latency, and answers reach the PC the latency plus
// their own byte time after the phone sent them, in order.
#include "sim/line_wire.h"

#include <gtest/gtest.h>

namespace dekvanto::sim {
namespace {

constexpr int64_t kMs = 1'000'000;

std::vector<uint8_t> Bytes(size_t count, uint8_t first = 0) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<uint8_t>(first + i);
    }
    return bytes;
}

size_t Arrived(LineWire &wire, int64_t now) {
    size_t count = 0;
    for (const auto &batch : wire.TakeArrived(now)) {
        count += batch.bytes.size();
    }
    return count;
}

TEST(LineWire, ReadsArriveWholeAtTheirLastByteBackToBackAndDated) {
    LineWire wire({true, 1000});
    const int64_t byte = ByteTimeNs(2400);
    EXPECT_EQ(byte, 4'166'666);  // ten bits at 2400 bit/s
    const auto first = Bytes(3);
    wire.TakeIn(first.data(), first.size(), 2400, 0);
    // Read while the first bytes are still on the line: the next ones follow them directly.
    const auto second = Bytes(2, 3);
    wire.TakeIn(second.data(), second.size(), 2400, byte);
    EXPECT_EQ(*wire.NextDueNs(), 3 * byte);  // the end of the first read
    EXPECT_EQ(Arrived(wire, 3 * byte - 1), 0u);
    const auto batches = wire.TakeArrived(5 * byte);
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].bytes, first);
    EXPECT_EQ(batches[0].first_arrival_ns, byte);
    EXPECT_EQ(batches[1].bytes, second);
    EXPECT_EQ(batches[1].first_arrival_ns, 4 * byte);
    EXPECT_EQ(batches[1].byte_ns, byte);
    EXPECT_EQ(batches[1].bit_rate, 2400u);
    EXPECT_FALSE(wire.InFlight());
    EXPECT_FALSE(wire.NextDueNs());
}

TEST(LineWire, ATurnAroundCostsTheLatencyOnlyWhenTheLineWasIdleAndAnswered) {
    LineWire wire({true, 16000});
    const int64_t byte = ByteTimeNs(460800);
    const auto frame = Bytes(10);
    wire.TakeIn(frame.data(), frame.size(), 460800, 0);
    EXPECT_EQ(Arrived(wire, 10 * byte), 10u);

    // Idle, but nothing answered: no turn-around.
    wire.TakeIn(frame.data(), 1, 460800, 20 * byte);
    EXPECT_EQ(*wire.NextDueNs(), 21 * byte);
    EXPECT_EQ(Arrived(wire, 21 * byte), 1u);

    // The phone answers; the PC's next byte, on an idle line, starts 16 ms later.
    wire.Answer(0x06, 460800, 21 * byte);
    wire.TakeIn(frame.data(), 1, 460800, 40 * kMs);
    EXPECT_EQ(*wire.NextDueNs(), 21 * byte + 16 * kMs + byte);  // the answer falls due first
    EXPECT_EQ(wire.TakeDueAnswers(21 * byte + 16 * kMs + byte), std::vector<uint8_t>{0x06});
    EXPECT_EQ(*wire.NextDueNs(), 56 * kMs + byte);
}

TEST(LineWire, AnswersComeAfterTheLatencyInOrderWithoutOvertaking) {
    LineWire wire({true, 1000});
    const int64_t byte = ByteTimeNs(115200);
    wire.Answer(0x06, 115200, 0);
    wire.Answer('8', 115200, 0);  // sent at the same moment: queues behind the first
    wire.Answer('8', 115200, 5 * kMs);
    EXPECT_TRUE(wire.TakeDueAnswers(kMs + byte - 1).empty());
    EXPECT_EQ(wire.TakeDueAnswers(kMs + byte), std::vector<uint8_t>{0x06});
    EXPECT_EQ(wire.TakeDueAnswers(kMs + 2 * byte), std::vector<uint8_t>{'8'});
    EXPECT_TRUE(wire.AnswersPending());
    EXPECT_EQ(wire.TakeDueAnswers(6 * kMs + byte), std::vector<uint8_t>{'8'});
    EXPECT_FALSE(wire.AnswersPending());
}

TEST(LineWire, TakesInNoMoreThanItsRoom) {
    LineWire wire({true, 1000});
    const auto block = Bytes(LineWire::kRoom - 10);
    wire.TakeIn(block.data(), block.size(), 460800, 0);
    EXPECT_EQ(wire.Room(), 10u);
    Arrived(wire, static_cast<int64_t>(block.size()) * ByteTimeNs(460800));
    EXPECT_EQ(wire.Room(), LineWire::kRoom);
}

}  // namespace
}  // namespace dekvanto::sim
