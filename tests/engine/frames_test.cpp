// Golden bytes of every frame the engine sends, and the setting tables behind them.
#include "frames/frames.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace dekvanto::engine {
namespace {

using Bytes = std::vector<uint8_t>;

struct Built {
    uint8_t result;
    Bytes bytes;
};

template <typename Builder>
Built Build(Builder builder) {
    uint8_t buffer[kFrameBufferSize + 8];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    uint32_t length = 12345;
    const uint8_t result = builder(buffer, length);
    return {result, Bytes(buffer, buffer + std::min<uint32_t>(length, sizeof buffer))};
}

TEST(LineFrame, CarriesSpeedParityAndStopBitsWithCheckByte) {
    auto frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 115200, 0, 0); });
    EXPECT_EQ(frame.result, 0);
    EXPECT_EQ(frame.bytes, (Bytes{0x06, 0x53, 0x07, 0x50, 0x00, 0x54, 0x01, 0x57}));

    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 460800, 2, 2); });
    EXPECT_EQ(frame.result, 0);
    EXPECT_EQ(frame.bytes, (Bytes{0x06, 0x53, 0x09, 0x50, 0x02, 0x54, 0x02, 0x58}));

    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 57600, 1, 0); });
    EXPECT_EQ(frame.bytes[2], 6);
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 230400, 1, 0); });
    EXPECT_EQ(frame.bytes[2], 8);
}

TEST(LineFrame, NamesTheLastRefusedFieldAndStillSealsTheFrame) {
    auto frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 9600, 0, 0); });
    EXPECT_EQ(frame.result, '6');
    ASSERT_EQ(frame.bytes.size(), 8u);
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 115200, 3, 0); });
    EXPECT_EQ(frame.result, '5');
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 115200, 0, 1); });
    EXPECT_EQ(frame.result, '>');
    // Speed, then parity, then stop bits: the later refusal wins.
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 1, 7, 0); });
    EXPECT_EQ(frame.result, '5');
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLineFrame(b, n, 1, 7, 9); });
    EXPECT_EQ(frame.result, '>');
    EXPECT_EQ(frame.bytes[7], std::accumulate(frame.bytes.begin(), frame.bytes.begin() + 7, 0,
                                              [](int a, uint8_t b) { return a ^ b; }));
}

TEST(TargetByte, CombinesWaitStatesAndBusSizeCheckingBusSizeLast) {
    auto byte = Build([](uint8_t *b, uint32_t &n) { return MakeTargetByte(b, n, 0x18, 0x20); });
    EXPECT_EQ(byte.result, 0);
    EXPECT_EQ(byte.bytes, Bytes{0x38});
    byte = Build([](uint8_t *b, uint32_t &n) { return MakeTargetByte(b, n, 0x08, 0); });
    EXPECT_EQ(byte.bytes, Bytes{0x08});
    byte = Build([](uint8_t *b, uint32_t &n) { return MakeTargetByte(b, n, 0x10, 16); });
    EXPECT_EQ(byte.result, '8');
    byte = Build([](uint8_t *b, uint32_t &n) { return MakeTargetByte(b, n, 0x20, 0x20); });
    EXPECT_EQ(byte.result, '7');
    byte = Build([](uint8_t *b, uint32_t &n) { return MakeTargetByte(b, n, 0x20, 16); });
    EXPECT_EQ(byte.result, '8');
}

TEST(Frames, SizeSumStartAndLoaderFrames) {
    auto frame = Build([](uint8_t *b, uint32_t &n) { return MakeSizeFrame(b, n, 74565); });
    EXPECT_EQ(frame.bytes, (Bytes{0x04, 0x00, 0x45, 0x23, 0x01, 0x00, 0x63}));
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeSizeFrame(b, n, 0xFFFFFFFFu); });
    EXPECT_EQ(frame.bytes, (Bytes{0x04, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x04}));
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeSumFrame(b, n, 0xABCD); });
    EXPECT_EQ(frame.bytes, (Bytes{0x02, 0x00, 0xCD, 0xAB, 0x64}));
    for (uint32_t flags : {0u, 1u, 2u, 3u}) {
        frame = Build([&](uint8_t *b, uint32_t &n) { return MakeStartByte(b, n, flags); });
        EXPECT_EQ(frame.bytes, Bytes{static_cast<uint8_t>(0x40 + flags)});
    }
    const uint8_t three[] = {1, 2, 3};
    frame = Build([&](uint8_t *b, uint32_t &n) { return MakeLoaderBlock(b, n, three, 3); });
    EXPECT_EQ(frame.bytes, (Bytes{0x03, 0x01, 0x02, 0x03, 0x03}));
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLoaderEnd(b, n); });
    EXPECT_EQ(frame.bytes, (Bytes{0x00, 0x00}));
    frame = Build([](uint8_t *b, uint32_t &n) { return MakeLoaderBlock(b, n, nullptr, 0); });
    EXPECT_EQ(frame.bytes, (Bytes{0x00, 0x00}));
}

TEST(Frames, DataBlocksAreLongFramesUpToTheBufferSize) {
    const uint8_t one[] = {0x41};
    auto frame = Build([&](uint8_t *b, uint32_t &n) { return MakeDataBlock(b, n, one, 1); });
    EXPECT_EQ(frame.bytes, (Bytes{0x01, 0x00, 0x41, 0x40}));

    Bytes payload(256);
    std::iota(payload.begin(), payload.end(), 0);
    frame =
        Build([&](uint8_t *b, uint32_t &n) { return MakeDataBlock(b, n, payload.data(), 256); });
    ASSERT_EQ(frame.bytes.size(), kFrameBufferSize);
    EXPECT_EQ(frame.bytes[0], 0x00);
    EXPECT_EQ(frame.bytes[1], 0x01);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.bytes.begin() + 2));
    // 0..255 XOR to 0; with the length bytes 00 01 the check byte is 01.
    EXPECT_EQ(frame.bytes[258], 0x01);

    uint32_t length = 0;
    uint8_t big[4];
    EXPECT_EQ(MakeLoaderBlock(big, length, payload.data(), 256), kFrameTooLong);
    EXPECT_EQ(length, 0u);
}

TEST(Sum16, IsTheComplementOfTheByteSumModulo65536) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(Sum16(abc, 3), 0xFED9);
    EXPECT_EQ(Sum16(abc, 0), 0xFFFF);
    EXPECT_EQ(Sum16(abc, -5), 0xFFFF);
    const Bytes ones(257, 0xFF);
    EXPECT_EQ(Sum16(ones.data(), 257), 0x0000);
    const Bytes wraps(258, 0xFF);  // sum 0x100FE: only the low 16 bits count
    EXPECT_EQ(Sum16(wraps.data(), 258), 0xFFFF - 0x00FE);
}

TEST(SettingTables, TurnIndicesIntoFrameValuesAndRefuseTheRest) {
    uint32_t length = 0;
    uint8_t byte[8];
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(MakeTargetByte(byte, length, WaitStateValue(i), BusSizeValue(1)), 0);
        EXPECT_EQ(byte[0], 0x20 | (i << 3));
    }
    EXPECT_EQ(MakeTargetByte(byte, length, WaitStateValue(4), BusSizeValue(0)), '7');
    EXPECT_EQ(MakeTargetByte(byte, length, WaitStateValue(-1), BusSizeValue(0)), '7');
    EXPECT_EQ(MakeTargetByte(byte, length, WaitStateValue(0), BusSizeValue(2)), '8');
    EXPECT_EQ(MakeTargetByte(byte, length, WaitStateValue(4), BusSizeValue(2)), '8');

    EXPECT_EQ(BitRateValue(0), 57600u);
    EXPECT_EQ(BitRateValue(3), 460800u);
    EXPECT_EQ(MakeLineFrame(byte, length, BitRateValue(4), ParityValue(0), StopBitValue(0)), '6');
    EXPECT_EQ(MakeLineFrame(byte, length, BitRateValue(1), ParityValue(3), StopBitValue(0)), '5');
    EXPECT_EQ(MakeLineFrame(byte, length, BitRateValue(1), ParityValue(2), StopBitValue(2)), '>');
    EXPECT_EQ(MakeLineFrame(byte, length, BitRateValue(1), ParityValue(2), StopBitValue(1)), 0);
    EXPECT_EQ(byte[6], 2);  // two stop bits
}

}  // namespace
}  // namespace dekvanto::engine
