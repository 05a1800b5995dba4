// The Win32 window layer, the engine's waits on a Win32 message queue, and DLL_MX40.DLL as a
// Win32 caller binds it: everything that needs no phone on the line.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "clock/clock.h"
#include "download_files.h"
#include "engine_library.h"
#include "line/line_port.h"
#include "line/wait_pump.h"
#include "message_box_closer.h"
#include "recording_window.h"
#include "window/window.h"

namespace {

using dekvanto::wintest::EngineLibrary;
using dekvanto::wintest::MessageBoxCloser;
using dekvanto::wintest::RecordingWindow;
using Lines = std::vector<std::string>;

std::unique_ptr<dekvanto::engine::Window> LayerOver(const RecordingWindow &window) {
    return dekvanto::engine::MakePlatformWindow(
        reinterpret_cast<Mx40WindowHandle>(window.Handle()));
}

TEST(Win32Window, TheThreeMessagesAreHandledBeforeSendReturns) {
    RecordingWindow window;
    const auto layer = LayerOver(window);
    ASSERT_TRUE(layer->Present());

    layer->Send(MX40_WM_BYTE_COUNT, 4096, 0);
    EXPECT_EQ(window.byte_counts, std::vector<uint32_t>{4096});
    char text[] = "Open COM3";
    layer->Send(MX40_WM_LOG_LINE, reinterpret_cast<uintptr_t>(text), 0);
    text[0] = 'X';  // the window had to copy it while handling the message
    EXPECT_EQ(window.log_lines, Lines{"Open COM3"});
    layer->Send(MX40_WM_PROGRESS_STEP, 0, 0);
    layer->Send(MX40_WM_PROGRESS_STEP, 0, 0);
    EXPECT_EQ(window.progress_steps, 2);
}

TEST(Win32Window, WithoutAWindowNothingIsSentButTheThreadsQueueIsStillDispatched) {
    RecordingWindow window;
    const auto layer = dekvanto::engine::MakePlatformWindow(nullptr);
    EXPECT_FALSE(layer->Present());
    layer->Send(MX40_WM_PROGRESS_STEP, 0, 0);
    EXPECT_TRUE(window.messages.empty());

    ::PostMessageA(window.Handle(), WM_APP + 1, 0, 0);
    EXPECT_FALSE(layer->Pump());
    EXPECT_EQ(window.messages, std::vector<UINT>{WM_APP + 1});
}

TEST(Win32Window, APumpDispatchesWhatWaitsAndConsumesAQuitRequest) {
    RecordingWindow window;
    const auto layer = LayerOver(window);
    ::PostMessageA(window.Handle(), WM_APP + 1, 0, 0);
    ::PostQuitMessage(0);

    EXPECT_TRUE(layer->Pump());
    EXPECT_EQ(window.messages, std::vector<UINT>{WM_APP + 1});
    // The quit request stays taken: neither the next pass nor the caller's own loop sees it.
    EXPECT_FALSE(layer->Pump());
    MSG message;
    EXPECT_FALSE(::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST(Win32Window, MessageBoxesAndPromptsAreModalOverTheCallersWindow) {
    RecordingWindow window;
    const auto layer = LayerOver(window);
    MessageBoxCloser closer;
    layer->MessageBox("Error in COM port Configuration:  \n Speed not supported by this COM");
    layer->Prompt("Hit return to start application file download !!!");

    ASSERT_EQ(closer.Boxes().size(), 2u);
    EXPECT_EQ(closer.Boxes()[0].owner, window.Handle());
    // The static control shows the line feed as a line break; the text itself is unchanged.
    EXPECT_EQ(closer.Texts(),
              (Lines{"Error in COM port Configuration:  \n Speed not supported by this COM",
                     "Hit return to start application file download !!!"}));
}

class WaitPumpOnWin32 : public ::testing::Test {
  protected:
    int Wait(uint32_t ms) {
        return dekvanto::engine::WaitPump(ms, *layer, dekvanto::engine::SystemClock(), running);
    }

    RecordingWindow window;
    std::unique_ptr<dekvanto::engine::Window> layer = LayerOver(window);
    std::atomic<int32_t> running{1};
};

TEST_F(WaitPumpOnWin32, AQuitRequestEndsTheWaitAndIsNotSeenAgain) {
    ::PostQuitMessage(0);
    EXPECT_EQ(Wait(60000), 1);
    MSG message;
    EXPECT_FALSE(::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(WaitPumpOnWin32, AStopCommandDispatchedDuringTheWaitEndsIt) {
    window.on_posted = [this](UINT) { running = 0; };
    ::PostMessageA(window.Handle(), WM_APP + 7, 0, 0);
    EXPECT_EQ(Wait(60000), 1);
    EXPECT_EQ(window.messages, std::vector<UINT>{WM_APP + 7});
}

// Timed with the clock the pump itself reads: the system's tick count is updated in coarser steps
// and may show less than the pump has waited.
TEST_F(WaitPumpOnWin32, AWaitThatRunsOutReportsZero) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Wait(50), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(EngineLibraryOnWin32, LoadsByFullPathAndExportsEveryFunctionByItsPlainName) {
    EngineLibrary engine;
    ASSERT_TRUE(engine.Bound()) << engine.Path();
    EXPECT_EQ(engine.init(7), 7);
    EXPECT_EQ(engine.start_stop(1), 1);
    EXPECT_EQ(engine.check_map_compat(nullptr, nullptr), MX40_MAP_NO_PATH);
    EXPECT_EQ(engine.set_trace(nullptr, nullptr), 0);
}

class MissingPort : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Bound()) << engine.Path();
        files = dekvanto::wintest::WriteDownloadFiles(100, 200, 0);
        paths.LoadFilePath = files.loader.c_str();
        paths.AppFilePath = files.code.c_str();
        settings.Port = 76;  // COM77: no device in the prefix
        settings.RamSize = 1;
        settings.Speed = 1;
        options.Acknowledge = 1;
    }

    int32_t Download() {
        engine.init(0);
        return engine.download(reinterpret_cast<Mx40WindowHandle>(window.Handle()), &settings,
                               &paths, &options);
    }

    EngineLibrary engine;
    dekvanto::wintest::DownloadFiles files;
    RecordingWindow window;
    Mx40Settings settings{};
    Mx40Files paths{};
    Mx40Options options{};
};

TEST_F(MissingPort, EndsWithPortErrorAfterSayingSoInABoxOverTheWindow) {
    MessageBoxCloser closer;
    options.DebugMessages = 1;
    EXPECT_EQ(Download(), MX40_RESULT_PORT_ERROR);

    EXPECT_EQ(settings.Port, 77);
    ASSERT_EQ(closer.Boxes().size(), 1u);
    EXPECT_EQ(closer.Boxes()[0].text, "Error Open COM port");
    EXPECT_EQ(closer.Boxes()[0].owner, window.Handle());
    ASSERT_EQ(window.log_lines.size(), 2u);
    EXPECT_EQ(window.log_lines[0].rfind("Starting Time : ", 0), 0u);
    EXPECT_EQ(window.log_lines[1], "Open COM77");  // and no "Close COM77": nothing was opened
}

TEST_F(MissingPort, IsSilentWithDebugMessagesOff) {
    MessageBoxCloser closer;
    options.DebugMessages = 0;
    EXPECT_EQ(Download(), MX40_RESULT_PORT_ERROR);
    EXPECT_TRUE(closer.Boxes().empty());
    EXPECT_EQ(window.log_lines.back(), "Open COM77");
}

TEST(Win32Port, AMissingPortIsRefusedAtItsFirstStep) {
    const auto port = dekvanto::engine::MakeSystemLinePort();
    EXPECT_EQ(port->Open(77), 10);
    uint8_t byte = 0;
    EXPECT_EQ(port->ReadByte(byte), dekvanto::engine::ReadOutcome::kGone);  // nothing is held
    uint32_t written = 0;
    EXPECT_FALSE(port->Write(&byte, 1, written));
}

}  // namespace
