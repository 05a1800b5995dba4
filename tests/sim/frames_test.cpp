// The frames the phone cuts out of the received bytes, and the test's own PC frames, both
// against bytes computed by hand.
#include <gtest/gtest.h>

#include "pc_side.h"
#include "sim/frame_reader.h"

namespace dekvanto::simtest {
namespace {

TEST(PcFrames, MatchHandComputedBytes) {
    EXPECT_EQ(SizeFrame(74565), (Bytes{0x04, 0x00, 0x45, 0x23, 0x01, 0x00, 0x63}));
    EXPECT_EQ(SumFrame(0xABCD), (Bytes{0x02, 0x00, 0xCD, 0xAB, 0x64}));
    EXPECT_EQ(ShortFrame({0x01, 0x02, 0x03}), (Bytes{0x03, 0x01, 0x02, 0x03, 0x03}));
    EXPECT_EQ(ShortFrame({}), (Bytes{0x00, 0x00}));
    EXPECT_EQ(LongFrame({0x41}), (Bytes{0x01, 0x00, 0x41, 0x40}));
    EXPECT_EQ(FileSum({0x61, 0x62, 0x63}), 0xFED9);
}

TEST(FrameReader, TakesAFrameOnlyWhenItIsComplete) {
    dekvanto::sim::FrameReader reader;
    const Bytes size_frame{0x04, 0x00, 0x45, 0x23, 0x01, 0x00, 0x63};
    reader.Append(size_frame.data(), 3, 460800, 10);
    EXPECT_EQ(reader.TakeLongFrame(), std::nullopt);
    reader.Append(size_frame.data() + 3, 4, 115200, 20);
    reader.Append(kLine115200.data(), kLine115200.size(), 2400, 30);

    const auto size = reader.TakeLongFrame();
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->payload, (Bytes{0x45, 0x23, 0x01, 0x00}));
    EXPECT_TRUE(size->CheckOk());
    EXPECT_EQ(size->bit_rate, 460800u);  // the speed at its first byte
    EXPECT_EQ(size->first_ns, 10);

    const auto line = reader.TakeShortFrame();
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->start, 7u);
    EXPECT_EQ(line->length, 6u);
    EXPECT_TRUE(line->CheckOk());
    EXPECT_EQ(line->bit_rate, 2400u);
    EXPECT_EQ(reader.Pending(), 0u);
}

TEST(FrameReader, SeesADamagedCheckByte) {
    dekvanto::sim::FrameReader reader;
    const Bytes damaged{0x02, 0x00, 0xCD, 0xAB, 0x65};
    reader.Append(damaged.data(), damaged.size(), 115200, 0);
    const auto frame = reader.TakeLongFrame();
    ASSERT_TRUE(frame.has_value());
    EXPECT_FALSE(frame->CheckOk());
    EXPECT_EQ(frame->expected, 0x64);
}

TEST(FrameReader, Sum16OfTheReceivedFile) {
    EXPECT_EQ(dekvanto::sim::Sum16({0x61, 0x62, 0x63}), 0xFED9);
    EXPECT_EQ(dekvanto::sim::Sum16({}), 0xFFFF);
    EXPECT_EQ(dekvanto::sim::Sum16(Bytes(257, 0xFF)), 0x0000);
}

}  // namespace
}  // namespace dekvanto::simtest
