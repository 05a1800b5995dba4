// The window layer over the caller's window record, and its behaviour without a window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "window/window.h"

namespace dekvanto::engine {
namespace {

struct Caller {
    std::vector<uint32_t> messages;
    std::vector<std::string> boxes;
    int pumps = 0;
    int32_t quit_on_pump = 0;
};

Mx40Window RecordFor(Caller &caller) {
    Mx40Window record{};
    record.context = &caller;
    record.send = [](void *c, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        static_cast<Caller *>(c)->messages.push_back(message);
        return 0;
    };
    record.pump = [](void *c) -> int32_t {
        auto *caller = static_cast<Caller *>(c);
        return ++caller->pumps == caller->quit_on_pump ? 1 : 0;
    };
    record.message_box = [](void *c, const char *text) {
        static_cast<Caller *>(c)->boxes.emplace_back(text);
    };
    return record;
}

TEST(PosixWindow, RoutesEverythingThroughTheCallersRecord) {
    Caller caller;
    caller.quit_on_pump = 2;
    Mx40Window record = RecordFor(caller);
    const auto window = MakePlatformWindow(&record);
    EXPECT_TRUE(window->Present());
    window->Send(MX40_WM_PROGRESS_STEP, 0, 0);
    EXPECT_FALSE(window->Pump());
    EXPECT_TRUE(window->Pump());
    window->MessageBox("PurgeComm");
    window->Prompt("Hit return to start application file download !!!");
    EXPECT_EQ(caller.messages, std::vector<uint32_t>{MX40_WM_PROGRESS_STEP});
    EXPECT_EQ(caller.boxes, (std::vector<std::string>{
                                "PurgeComm", "Hit return to start application file download !!!"}));
}

TEST(PosixWindow, RecordWithoutFunctionsIsHarmless) {
    Mx40Window record{};
    const auto window = MakePlatformWindow(&record);
    window->Send(MX40_WM_LOG_LINE, 0, 0);
    EXPECT_FALSE(window->Pump());
    ::testing::internal::CaptureStderr();
    window->MessageBox("GetCommTimeouts");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "GetCommTimeouts\n");
}

TEST(PosixWindow, WithoutWindowBoxesGoToStandardErrorAndPromptsNeverHangAScript) {
    const auto window = MakePlatformWindow(nullptr);
    EXPECT_FALSE(window->Present());
    EXPECT_FALSE(window->Pump());
    // As in a script: standard input is no terminal.
    const int saved_input = ::dup(STDIN_FILENO);
    const int no_input = ::open("/dev/null", O_RDONLY);
    ::dup2(no_input, STDIN_FILENO);
    ::testing::internal::CaptureStderr();
    window->MessageBox("Error Open COM port");
    window->Prompt("Hit return to start personalisation File Download !!!");
    ::dup2(saved_input, STDIN_FILENO);
    ::close(saved_input);
    ::close(no_input);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error Open COM port\nHit return to start personalisation File Download !!!\n");
}

}  // namespace
}  // namespace dekvanto::engine
