// Whole downloads against the line model in virtual time: the phone at the far end checks every
// frame, the model notes every byte lost at a speed switch or at close, and the time the engine
// takes is held against the protocol's ideal time for the same download.
#include <gtest/gtest.h>

#include "ideal_time.h"
#include "interface/download_driver.h"
#include "line_model.h"

namespace dekvanto::engine {
namespace {

using testing::FakeClock;
using testing::FakeFiles;
using testing::LineModel;
using testing::LineTimes;
using testing::PhoneTimes;
using testing::RecordingWindow;

std::vector<uint8_t> Pattern(std::size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed * 31 + i * 7 + (i >> 9));
    }
    return bytes;
}

struct VirtualDownload {
    VirtualDownload(uint32_t code, uint32_t perso, uint32_t latency_us) {
        line.latency_us = latency_us;
        files.contents["loader.bin"] = Pattern(1000, 1);
        files.contents["code.bin"] = Pattern(code, 2);
        files.contents["perso.psb"] = Pattern(perso, 3);
        shape.loader_bytes = 1000;
        shape.code_bytes = code;
        shape.perso_bytes = perso;
        shape.latency_us = latency_us;
    }

    int32_t Run() {
        model = std::make_unique<LineModel>(clock, line, PhoneTimes{}, options.Acknowledge == 1);
        return RunDownload({*model, clock, window, files, flags}, &settings, &file_record,
                           &options);
    }

    void ExpectEverythingArrived() {
        EXPECT_EQ(model->LineErrors(), std::vector<std::string>{});
        EXPECT_EQ(model->Phone().Errors(), std::vector<std::string>{});
        EXPECT_TRUE(model->Phone().Complete());
        EXPECT_EQ(model->Phone().Record().loader, files.contents["loader.bin"]);
        EXPECT_EQ(model->Phone().Record().code, files.contents["code.bin"]);
        EXPECT_EQ(model->Phone().Record().perso, files.contents["perso.psb"]);
    }

    FakeClock clock;
    RecordingWindow window{false};
    FakeFiles files;
    DownloadFlags flags;
    LineTimes line;
    std::unique_ptr<LineModel> model;
    Mx40Settings settings{0, 0, 1, 3, 0, 0, 0};
    Mx40Files file_record{"loader.bin", "code.bin", "perso.psb"};
    Mx40Options options{0, 0, 1, 0};
    testing::DownloadShape shape;
};

TEST(VirtualLine, NoByteIsLostAtTheSpeedSwitchesOrAtCloseInEitherMode) {
    for (int acknowledge : {1, 0}) {
        SCOPED_TRACE(acknowledge);
        VirtualDownload download(20000, 3000, 1000);
        download.options.Acknowledge = acknowledge;
        download.settings.RebootDelay = 1;
        ASSERT_EQ(download.Run(), '2');
        download.ExpectEverythingArrived();
    }
}

// A 256 KiB code file at 460800 bit/s: with a USB adapter's 1 ms drain granularity the engine
// stays within half a percent of the ideal time, which it cannot do with a drain per block.
TEST(VirtualLine, DownloadTimeStaysWithinHalfAPercentOfTheIdeal) {
    VirtualDownload download(256 * 1024, 8 * 1024, 1000);
    ASSERT_EQ(download.Run(), '2');
    download.ExpectEverythingArrived();
    const int64_t ideal = testing::ComputeIdealTime(download.shape).total_ns;
    const int64_t measured = download.model->NowNs();
    EXPECT_GE(measured, ideal);  // the ideal is a lower bound: nothing is faster than the line
    EXPECT_GE(static_cast<double>(ideal) / static_cast<double>(measured), 0.995)
        << "measured " << measured << " ns, ideal " << ideal << " ns";
    EXPECT_LE(download.model->drains, 6);
}

// The adapter's latency is paid once per round trip that the protocol requires: with 16 ms
// instead of 1 ms the download takes 2 x 15 ms longer per awaited answer (one way there, one
// back), and not a round trip more.
TEST(VirtualLine, LatencyCostsTwiceItsValuePerRequiredRoundTrip) {
    VirtualDownload fast(64 * 1024, 2048, 1000);
    VirtualDownload slow(64 * 1024, 2048, 16000);
    ASSERT_EQ(fast.Run(), '2');
    ASSERT_EQ(slow.Run(), '2');
    const auto ideal_fast = testing::ComputeIdealTime(fast.shape);
    const auto ideal_slow = testing::ComputeIdealTime(slow.shape);
    EXPECT_EQ(ideal_fast.round_trips, ideal_slow.round_trips);
    const int64_t extra = slow.model->NowNs() - fast.model->NowNs();
    const int64_t ideal_extra = ideal_slow.total_ns - ideal_fast.total_ns;
    EXPECT_NEAR(static_cast<double>(extra), static_cast<double>(ideal_extra), 0.002 * ideal_extra);
    EXPECT_GT(ideal_extra, int64_t{ideal_fast.round_trips} * 15'000'000);
}

}  // namespace
}  // namespace dekvanto::engine
