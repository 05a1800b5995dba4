// Whole downloads through DLL_MX40.DLL and the Win32 serial line, against the simulated phone
// that tools/wine/with-phone.sh puts on COM<n>. Each test is one session of the phone: the
// harness runs them one at a time (see CMakeLists.txt) and checks the phone's verdict and the
// bytes it received.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "clock/clock.h"
#include "download_files.h"
#include "engine_library.h"
#include "frames/frames.h"
#include "line/com_error.h"
#include "line/serial_line.h"
#include "message_box_closer.h"
#include "recording_window.h"

namespace {

using dekvanto::wintest::MessageBoxCloser;
using dekvanto::wintest::RecordingWindow;
using Lines = std::vector<std::string>;

class PhoneDownload : public ::testing::Test {
  protected:
    void SetUp() override {
        com = dekvanto::wintest::PhoneCom();
        if (com == 0) {
            GTEST_SKIP() << "needs a phone on a COM port (tools/wine/with-phone.sh)";
        }
        ASSERT_TRUE(engine.Bound()) << engine.Path();
        settings.Port = com - 1;
        settings.RamSize = 1;  // 16-bit bus: target byte 0x20
        settings.Speed = 1;    // 115200 bit/s
        options.Acknowledge = 1;
        options.DebugMessages = 1;
    }

    void UseFiles(uint32_t loader, uint32_t code, uint32_t perso) {
        files = dekvanto::wintest::WriteDownloadFiles(loader, code, perso);
        paths.LoadFilePath = files.loader.c_str();
        paths.AppFilePath = files.code.c_str();
        paths.PersoFilePath = files.perso.c_str();
    }

    int32_t Download() {
        engine.init(0);
        return engine.download(reinterpret_cast<Mx40WindowHandle>(window.Handle()), &settings,
                               &paths, &options);
    }

    std::string Port() const { return "COM" + std::to_string(com); }
    bool Logged(const std::string &line) const {
        return std::find(window.log_lines.begin(), window.log_lines.end(), line) !=
               window.log_lines.end();
    }

    int com = 0;
    dekvanto::wintest::EngineLibrary engine;
    dekvanto::wintest::DownloadFiles files;
    RecordingWindow window;
    MessageBoxCloser closer;
    Mx40Settings settings{};
    Mx40Files paths{};
    Mx40Options options{};
};

TEST_F(PhoneDownload, AcknowledgedDownloadReportsEveryStepToTheWindow) {
    UseFiles(1000, 20000, 30000);
    ASSERT_EQ(Download(), MX40_RESULT_DONE) << ::testing::PrintToString(closer.Texts());

    ASSERT_GE(window.log_lines.size(), 3u);
    EXPECT_EQ(window.log_lines.front().rfind("Starting Time : ", 0), 0u);
    EXPECT_EQ(Lines(window.log_lines.begin() + 1, window.log_lines.end() - 1),
              (Lines{"Open " + Port(), "Set Speed (115200)", "Download " + files.loader,
                     " -> Starting Flash writing", "Download " + files.code,
                     " -> Start End of Flash erasing", " -> End of flash Erased",
                     "Download " + files.perso, "Close " + Port()}));
    EXPECT_EQ(window.log_lines.back().rfind("Finish Time : ", 0), 0u);
    EXPECT_NE(window.log_lines.back().find(" .Total : 00 Min "), std::string::npos);

    EXPECT_EQ(window.progress_steps, 100);
    ASSERT_FALSE(window.byte_counts.empty());
    EXPECT_TRUE(std::is_sorted(window.byte_counts.begin(), window.byte_counts.end()));
    EXPECT_EQ(window.byte_counts.back(), files.total);
    // The final report: the byte count, then "Close COM<n>", then the finish line.
    const std::vector<UINT> tail(window.messages.end() - 3, window.messages.end());
    EXPECT_EQ(tail, (std::vector<UINT>{MX40_WM_BYTE_COUNT, MX40_WM_LOG_LINE, MX40_WM_LOG_LINE}));
    EXPECT_TRUE(closer.Boxes().empty()) << ::testing::PrintToString(closer.Texts());
}

TEST_F(PhoneDownload, BlindDownloadWaitsForTheRebootInsteadOfReading) {
    UseFiles(700, 9000, 2500);
    options.Acknowledge = 0;
    settings.RebootDelay = 1;
    ASSERT_EQ(Download(), MX40_RESULT_DONE) << ::testing::PrintToString(closer.Texts());

    EXPECT_TRUE(Logged("Waiting DEKE Reboot (1 secondes)"));
    EXPECT_TRUE(Logged("Close " + Port()));
    EXPECT_EQ(window.log_lines.back().rfind("Finish Time : ", 0), 0u);
    EXPECT_EQ(window.byte_counts.back(), files.total);
    EXPECT_EQ(window.progress_steps, 100);
    EXPECT_TRUE(closer.Boxes().empty()) << ::testing::PrintToString(closer.Texts());
}

TEST_F(PhoneDownload, AStopFromTheWindowDuringTheCodeFileEndsTheDownload) {
    UseFiles(300, 40000, 300);
    window.on_log_line = [this](const std::string &line) {
        if (line == "Download " + files.code) {
            engine.start_stop(0);
        }
    };
    EXPECT_EQ(Download(), MX40_RESULT_STOPPED);
    EXPECT_EQ(window.log_lines.back(), "Close " + Port());
    EXPECT_FALSE(Logged("Download " + files.perso));
}

// The line itself: its read time-outs on a quiet line, and a read that returns as soon as the
// phone answers.
TEST_F(PhoneDownload, ReadsWaitForTheirTimeOutOrReturnWithTheAnswer) {
    const auto window_layer = dekvanto::engine::MakePlatformWindow(nullptr);
    const int32_t debug_messages = 0;
    const dekvanto::engine::ComError com_error(*window_layer, debug_messages);
    const auto port = dekvanto::engine::MakeSystemLinePort();
    dekvanto::engine::SerialLine line(*port, dekvanto::engine::SystemClock(), com_error);
    ASSERT_TRUE(line.Open(com));

    // Before the PC has spoken the phone sends nothing. Bounds are loose: only the order of
    // magnitude is checked (125 ms for an acknowledgement, N + 75 ms for the '8').
    uint8_t byte = 0;
    DWORD start = ::GetTickCount();
    EXPECT_EQ(line.ReadAck(&byte), dekvanto::engine::kNoAnswer);
    DWORD took = ::GetTickCount() - start;
    EXPECT_GE(took, 100u);
    EXPECT_LT(took, 2000u);
    start = ::GetTickCount();
    EXPECT_FALSE(line.WaitSync(300));
    const DWORD sync_took = ::GetTickCount() - start;
    EXPECT_GE(sync_took, 300u);
    EXPECT_LT(sync_took, 3000u);
    std::printf(
        "acknowledgement read: nothing after %lu ms; synchronisation wait of 300 ms: "
        "nothing after %lu ms\n",
        took, sync_took);

    // The memory target byte, then the line setup frame, which the phone acknowledges.
    uint8_t frame[16];
    uint32_t length = 0;
    ASSERT_EQ(dekvanto::engine::MakeTargetByte(frame, length, 0x00, 0x20), 0);
    uint32_t written = 0;
    ASSERT_TRUE(line.Write(frame, length, written));
    ASSERT_EQ(dekvanto::engine::MakeLineFrame(frame, length, 115200, 0, 0), 0);
    start = ::GetTickCount();
    EXPECT_EQ(line.SendAck(frame, length, 1), 0);
    EXPECT_EQ(frame[0], dekvanto::engine::kAck);
    EXPECT_LT(::GetTickCount() - start, 2000u);

    EXPECT_TRUE(line.SetSpeed(3));
    EXPECT_FALSE(line.SetSpeed(4));
    line.Close();
    EXPECT_FALSE(line.IsOpen());
}

}  // namespace
