// Where the download waits for its bytes to leave the line: before the phone's pauses, before a
// speed switch and before close, never between the blocks of a group; and a line that fails its
// drain ends the download with '9' like a failed write.
#include <gtest/gtest.h>

#include "scripted_download.h"

namespace dekvanto::engine {
namespace {

using testing::Frame;
using testing::ScriptedDownload;

std::vector<uint8_t> Pattern(std::size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 8));
    }
    return bytes;
}

// A download of all three files whose pauses are watched: time may pass in a pause only once
// every byte written has been drained.
struct WatchedDownload {
    explicit WatchedDownload(int acknowledge) {
        download.options.Acknowledge = acknowledge;
        download.settings.RebootDelay = 1;
        download.SetCode(Pattern(3000, 2));
        download.SetPerso(Pattern(700, 3));
        download.window.on_pump = [this](int) {
            if (download.port.undrained && download.clock.TickMs() != tick_at_write) {
                ++pauses_with_bytes_on_the_line;
            }
            return false;
        };
        download.port.responder = [this, inner = download.port.responder](testing::ScriptedPort &p,
                                                                          std::size_t index) {
            tick_at_write = download.clock.TickMs();
            inner(p, index);
        };
    }

    ScriptedDownload download;
    uint32_t tick_at_write = 0;
    int pauses_with_bytes_on_the_line = 0;
};

TEST(LineDrain, ComesBeforeEveryPauseSpeedSwitchAndCloseInBothModes) {
    for (int acknowledge : {1, 0}) {
        SCOPED_TRACE(acknowledge);
        WatchedDownload watched(acknowledge);
        ScriptedDownload &download = watched.download;
        ASSERT_EQ(download.Run(), '2');
        EXPECT_EQ(watched.pauses_with_bytes_on_the_line, 0);
        EXPECT_EQ(download.port.undrained_rate_changes, 0);
        EXPECT_EQ(download.port.undrained_releases, 0);
        EXPECT_EQ(download.CountFrames(Frame::kPerso), 3);  // the speed switch to 115200 came after
        // Closing starts only once the line has been drained.
        const auto &t = download.port.timeline;
        const auto close = std::find(t.begin(), t.end(), "close");
        ASSERT_NE(close, t.end());
        EXPECT_EQ(*(close - 1), "drain");
    }
}

TEST(LineDrain, BlocksOfAGroupQueueBackToBack) {
    ScriptedDownload download;
    download.SetCode(Pattern(256 * 20, 2));
    ASSERT_EQ(download.Run(), '2');
    // Drains: after the target byte and the line frame, before the speed switch, before the
    // request byte, at the end and at close; none per block.
    EXPECT_LE(download.port.drains, 7);
    int longest_run = 0;
    int run = 0;
    for (const auto &step : download.port.timeline) {
        run = step == "write" ? run + 1 : 0;
        longest_run = std::max(longest_run, run);
    }
    EXPECT_GE(longest_run, 5);
}

// Every drain of a download, made to fail in turn, ends it with '9' after the line is closed;
// only the drain of the close itself, after the last one succeeded, leaves the success standing.
TEST(LineDrain, AFailedDrainEndsWith9LikeAFailedWrite) {
    for (int acknowledge : {1, 0}) {
        ScriptedDownload clean;
        clean.options.Acknowledge = acknowledge;
        clean.SetCode(Pattern(3000, 2));
        clean.SetPerso(Pattern(700, 3));
        ASSERT_EQ(clean.Run(), '2');
        const int drains = clean.port.drains;
        ASSERT_GE(drains, 4);
        for (int failing = 0; failing < drains; ++failing) {
            SCOPED_TRACE(::testing::Message()
                         << "acknowledge " << acknowledge << ", drain " << failing);
            ScriptedDownload download;
            download.options.Acknowledge = acknowledge;
            download.SetCode(Pattern(3000, 2));
            download.SetPerso(Pattern(700, 3));
            download.port.drain_fails_at = failing;
            const bool only_the_close_fails = failing == drains - 1;
            EXPECT_EQ(download.Run(), only_the_close_fails ? '2' : '9');
            EXPECT_FALSE(download.port.is_open);
            if (!only_the_close_fails) {
                EXPECT_EQ(download.window.LogLines().back(), "Close COM3");
            }
            EXPECT_EQ(download.file_source.open_files, 0);
        }
    }
}

}  // namespace
}  // namespace dekvanto::engine
