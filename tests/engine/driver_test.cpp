// The download driver on test doubles: record checks, the port number, opening failures, and
// the settings that the phone cannot be told.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "dekvanto/mx40.h"
#include "scripted_download.h"

namespace dekvanto::engine {
namespace {

using testing::ScriptedDownload;

TEST(Driver, MissingRecordsAreRefusedBeforeAnythingHappens) {
    ScriptedDownload download;
    EXPECT_EQ(RunDownload(download.Services(), nullptr, &download.files, &download.options), 'A');
    EXPECT_EQ(RunDownload(download.Services(), &download.settings, nullptr, &download.options),
              'B');
    EXPECT_EQ(download.settings.Port, 3);
    EXPECT_EQ(RunDownload(download.Services(), &download.settings, &download.files, nullptr), 'B');
    EXPECT_EQ(download.settings.Port, 4);
    EXPECT_TRUE(download.port.calls.empty());
    EXPECT_TRUE(download.window.messages.empty());
}

TEST(Driver, PortThatCannotBeOpenedGives9WithoutClosing) {
    ScriptedDownload download;
    download.port.open_result = 10;
    EXPECT_EQ(download.Run(), '9');
    EXPECT_EQ(download.settings.Port, 3);
    EXPECT_EQ(download.port.opened_number, 3);  // the port's own number, as the user named it
    EXPECT_EQ(download.port.calls, std::vector<std::string>{"open"});
    EXPECT_EQ(download.window.boxes, std::vector<std::string>{"Error Open COM port"});
    ASSERT_EQ(download.window.LogLines().size(), 2u);
    EXPECT_EQ(download.window.LogLines()[1], "Open COM3");

    download.options.DebugMessages = 0;  // silent, yet the same result
    EXPECT_EQ(download.Run(), '9');
    EXPECT_EQ(download.window.boxes.size(), 1u);
}

TEST(Driver, PortNumbersOutsideTheRegisterNeverOpen) {
    ScriptedDownload download;
    download.settings.Port = INT32_MAX;
    download.port.open_result = 10;  // what the system port answers for "COM-2147483648"
    EXPECT_EQ(download.Run(), '9');
    EXPECT_EQ(download.settings.Port, INT32_MIN);
    EXPECT_EQ(download.port.opened_number, INT32_MIN);
    EXPECT_EQ(download.window.LogLines()[1], "Open COM-2147483648");
}

TEST(Driver, SettingsThePhoneCannotBeToldEndBeforeTheirFrame) {
    struct Case {
        int32_t wait_state, bus_size, speed, parity, stop_bit;
        int32_t result;
        std::size_t writes;  // frames on the line before the refusal
    };
    const Case cases[] = {
        {0, 2, 1, 0, 0, '8', 0}, {4, 1, 1, 0, 0, '7', 0}, {4, 2, 1, 0, 0, '8', 0},
        {0, 0, 4, 0, 0, '6', 1}, {0, 0, 1, 3, 0, '5', 1}, {0, 0, 1, 0, 2, '>', 1},
    };
    for (const Case &c : cases) {
        ScriptedDownload download;
        download.settings = {2, c.wait_state, c.bus_size, c.speed, c.parity, c.stop_bit, 0};
        EXPECT_EQ(download.Run(), c.result);
        EXPECT_EQ(download.port.writes.size(), c.writes);
        EXPECT_FALSE(download.port.is_open);
        EXPECT_EQ(download.window.LogLines().back(), "Close COM3");
    }
}

// A second download while one runs opens nothing and leaves the first one alone, whether it
// comes from a handler inside the first one's event dispatch or from another thread.
TEST(Driver, OneDownloadAtATime) {
    ScriptedDownload download;
    download.SetCode(std::vector<uint8_t>(20000, 0x5A));
    Mx40Settings second = {6, 0, 1, 1, 0, 0, 0};
    const Mx40Options silent = {0, 0, 1, 0};
    std::vector<int32_t> refused;
    download.window.on_pump = [&](int) {
        if (refused.empty()) {
            refused.push_back(RunDownload(download.Services(), &second, &download.files, &silent));
            std::thread other([&] {
                refused.push_back(
                    RunDownload(download.Services(), &second, &download.files, &silent));
            });
            other.join();
        }
        return false;
    };
    EXPECT_EQ(download.Run(), '2');
    EXPECT_EQ(refused, (std::vector<int32_t>{'9', '9'}));
    EXPECT_EQ(second.Port, 8);  // each call adds one, as every call does
    EXPECT_EQ(std::count(download.port.calls.begin(), download.port.calls.end(), "open"), 1);
    EXPECT_EQ(download.state.debug_messages, 1);  // the first download's, not the refused one's
    const auto lines = download.window.LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string &l) { return l.starts_with("Open COM"); }),
              1);

    EXPECT_FALSE(download.state.downloading);  // once the first has returned, the next may run
}

// The running flag may be cleared from another thread: the download ends at its next test.
TEST(Driver, StopFromAnotherThread) {
    ScriptedDownload download;
    download.SetCode(std::vector<uint8_t>(50000, 0x5A));
    bool stopped = false;
    download.window.on_pump = [&](int) {
        if (!stopped && download.CountFrames(testing::Frame::kCode) > 0) {
            std::thread([&] { download.state.running = 0; }).join();
            stopped = true;
        }
        return false;
    };
    EXPECT_EQ(download.Run(), '3');
    EXPECT_FALSE(download.port.is_open);
}

TEST(Driver, StartStopAndInitTouchOnlyTheirFlags) {
    EXPECT_EQ(Mxl40_StartStop(5), 5);
    EXPECT_EQ(Mxl40_StartStop(0), 0);
    EXPECT_EQ(TheEngineState().running, 0);
    EXPECT_EQ(Mxl40_StartStop(5), 5);
    EXPECT_EQ(TheEngineState().running, 0);
    EXPECT_EQ(Mxl40_StartStop(1), 1);
    EXPECT_EQ(TheEngineState().running, 1);
    EXPECT_EQ(Mxl40_Init(42), 42);
    EXPECT_EQ(TheEngineState().init_value, 42);
    EXPECT_EQ(TheEngineState().running, 1);
}

}  // namespace
}  // namespace dekvanto::engine
