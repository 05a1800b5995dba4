// The vanto-phone-sim program: its ready line, its record and its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "phone_fixture.h"

namespace dekvanto::simtest {
namespace {

struct ProgramRun {
    int status = -1;
    std::string output;
};

// Runs the program with arguments; when play is given, calls it with the port path taken from
// the ready line before waiting for the program to end.
template <typename Play>
ProgramRun RunProgram(const std::string &arguments, Play play) {
    ProgramRun run;
    FILE *out = ::popen((std::string(VANTO_PHONE_SIM) + " " + arguments + " 2>&1").c_str(), "r");
    if (out == nullptr) {
        return run;
    }
    char line[512];
    if (std::fgets(line, sizeof line, out) != nullptr) {
        run.output = line;
        char device[256] = {};
        int port = 0;
        if (std::sscanf(line, "READY COM%d %255s", &port, device) == 2) {
            play(std::getenv("DEKVANTO_PORTS") + std::string("/COM") + std::to_string(port));
        }
    }
    while (std::fgets(line, sizeof line, out) != nullptr) {
        run.output += line;
    }
    const int status = ::pclose(out);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST_F(PhoneTest, ProgramRecordsADownloadAndExitsByItsConsistency) {
    Download d;
    d.loader = Pattern(70, 1);
    d.code = Pattern(700, 2);
    const std::string record = (temp_ / "record").string();
    const ProgramRun good = RunProgram(
        "--port 5 --expect-target 0x38 --erase-delay-ms 10 --restart-delay-ms 10 --record " +
            record,
        [&](const std::string &port) {
            PcLine pc(port);
            EXPECT_EQ(PlayDownload(pc, d), "");
        });
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_EQ(good.output.rfind("READY COM5 /dev/pts/", 0), 0u) << good.output;
    EXPECT_NE(good.output.find("END consistent"), std::string::npos);
    EXPECT_EQ(FileBytes(temp_ / "record" / "code.bin"), *d.code);
    EXPECT_TRUE(LinkGone((ports_ / "COM5").string()));

    d.target = 0x18;
    const ProgramRun bad =
        RunProgram("--expect-target 0x38 --idle-timeout-ms 3000", [&](const std::string &port) {
            PcLine pc(port);
            EXPECT_EQ(PlayDownload(pc, d), "");
        });
    EXPECT_EQ(bad.status, 1) << bad.output;
    EXPECT_NE(bad.output.find("memory target byte 0x18, expected 0x38"), std::string::npos);
}

TEST_F(PhoneTest, ProgramRefusesBadArguments) {
    const ProgramRun run = RunProgram("--fault nak@erase-end", [](const std::string &) {});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("--fault: nak and silent go with a frame's answer"),
              std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace dekvanto::simtest
