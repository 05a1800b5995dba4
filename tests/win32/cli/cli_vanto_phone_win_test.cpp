// vanto.exe under Wine against the simulated phone on a COM port of the prefix
// (tools/wine/with-phone.sh): a whole download, and a bench of phones that come and go. Ctrl-C
// is vanto_ctrl_c.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "core/records/file_digest.h"
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

// The phones (the simulator's options where the test is added): the line is empty at first, the
// first phone stays on for one more attempt after its good unit, the second fails in its code
// file. Each is one unit, flashed once: a phone flashed twice would make the second unit pass.
TEST_F(VantoWithPhone, ABenchFlashesEachPhoneOnceAndRecordsEveryUnit) {
    std::vector<std::string> args = Download(1000, 20000);
    args.front() = "bench";
    const std::string record = files_.folder + "units.jsonl";
    for (const char *option : {"--record", record.c_str(), "--count", "2", "--poll", "0.2"}) {
        args.push_back(option);
    }
    const VantoRun run = RunVanto(args);
    EXPECT_EQ(run.status, 9) << run.output;
    EXPECT_TRUE(Holds(run.output, Port() + " #1 PASS ")) << run.output;
    EXPECT_TRUE(Holds(run.output, Port() + " #2 FAIL no acknowledgement in the code file"))
        << run.output;
    EXPECT_TRUE(Holds(run.output, "Totals: 2 units: 1 PASS, 1 FAIL, 0 STOPPED")) << run.output;

    const auto code = dekvanto::core::DigestFile(files_.code);
    ASSERT_TRUE(code);
    std::vector<nlohmann::json> lines;
    std::ifstream in(record, std::ios::binary);
    for (std::string text; std::getline(in, text);) {
        lines.push_back(nlohmann::json::parse(text, nullptr, false));
        ASSERT_FALSE(lines.back().is_discarded()) << "cut or joined: " << text;
    }
    // A start and an end line per unit, and the first phone's removal once it went.
    ASSERT_EQ(lines.size(), 5u) << run.output;
    const char *events[] = {"start", "end", "removed", "start", "end"};
    const int units[] = {1, 1, 1, 2, 2};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        nlohmann::json &line = lines[i];
        EXPECT_EQ(line["event"], events[i]) << line;
        EXPECT_EQ(line["unit"], units[i]) << line;
        EXPECT_EQ(line["station"], Port()) << line;
        if (line["event"] != "removed") {
            EXPECT_EQ(line["files"][1]["role"], "code") << line;
            EXPECT_EQ(line["files"][1]["path"], files_.code) << line;
            EXPECT_EQ(line["files"][1]["sha256"], code->sha256) << line;
        }
    }
    EXPECT_EQ(lines[1]["result"], "2");
    EXPECT_EQ(lines[1]["status"], "finished");
    EXPECT_EQ(lines[4]["status"], "no-acknowledgement");
    EXPECT_EQ(lines[4]["reason"], "no acknowledgement in the code file");
    EXPECT_EQ(lines[4]["log"].back(), lines[4]["result_line"]);
}

}  // namespace
}  // namespace dekvanto::wintest
