// vanto.exe under Wine against the simulated phone on a COM port of the prefix
// (tools/wine/with-phone.sh): a whole download. Ctrl-C is vanto_ctrl_c.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "download_files.h"
#include "vanto_process.h"

namespace dekvanto::wintest {
namespace {

bool Holds(const std::string &output, const std::string &text) {
    return output.find(text) != std::string::npos;
}

class VantoWithPhone : public ::testing::Test {
  protected:
    void SetUp() override {
        com_ = PhoneCom();
        if (com_ == 0) {
            GTEST_SKIP() << "needs a phone on a COM port (tools/wine/with-phone.sh)";
        }
    }
    std::vector<std::string> Download(uint32_t loader, uint32_t code) {
        files_ = WriteDownloadFiles(loader, code, 0);
        return {"download", "--port",    Port(),  "--loader", files_.loader,
                "--code",   files_.code, "--bus", "16"};
    }
    std::string Port() const { return "COM" + std::to_string(com_); }

    int com_ = 0;
    DownloadFiles files_;
};

TEST_F(VantoWithPhone, AWholeDownloadEndsCompletedWithEveryByteCounted) {
    const VantoRun run = RunVanto(Download(1000, 20000));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Holds(run.output, "DOWNLOAD COMPLETED")) << run.output;
    EXPECT_TRUE(Holds(run.output, "progress 100%  21000 bytes")) << run.output;
}

TEST_F(VantoWithPhone, EventsGoToStandardOutputOneLineEach) {
    std::vector<std::string> args = Download(1000, 20000);
    args.push_back("--events");
    const VantoRun run = RunVanto(args);
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string unit = "\"station\":\"" + Port() + "\",\"unit\":1";
    EXPECT_TRUE(Holds(run.output, "{\"event\":\"unit-start\"," + unit + "}\r\n")) << run.output;
    EXPECT_TRUE(Holds(run.output, "{\"event\":\"phase\"," + unit +
                                      ",\"line\":\"------------------------DOWNLOAD COMPLETED"
                                      "--------------------------\"}\r\n"))
        << run.output;
    EXPECT_TRUE(
        Holds(run.output, "{\"event\":\"progress\"," + unit + ",\"percent\":100,\"bytes\":21000,"))
        << run.output;
    EXPECT_TRUE(Holds(run.output, "{\"event\":\"unit-end\"," + unit +
                                      ",\"result\":\"2\",\"status\":0,\"seconds\":"))
        << run.output;
    EXPECT_TRUE(Holds(run.output, "progress 100%  21000 bytes")) << "the log goes on beside";
}

}  // namespace
}  // namespace dekvanto::wintest
