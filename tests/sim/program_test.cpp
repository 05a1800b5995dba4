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

// Runs the program with arguments; calls play with the port path taken from the ready line and
// a reader of the program's next output line, before waiting for the program to end.
template <typename Play>
ProgramRun RunProgram(const std::string &arguments, Play play) {
    ProgramRun run;
    FILE *out = ::popen((std::string(VANTO_PHONE_SIM) + " " + arguments + " 2>&1").c_str(), "r");
    if (out == nullptr) {
        return run;
    }
    char line[512];
    const auto next_line = [&]() -> std::string {
        const bool got = std::fgets(line, sizeof line, out) != nullptr;
        run.output += got ? line : "";
        return got ? line : "";
    };
    if (std::fgets(line, sizeof line, out) != nullptr) {
        run.output = line;
        char device[256] = {};
        int port = 0;
        if (std::sscanf(line, "READY COM%d %255s", &port, device) == 2) {
            play(std::getenv("DEKVANTO_PORTS") + std::string("/COM") + std::to_string(port),
                 next_line);
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
        [&](const std::string &port, auto) {
            PcLine pc(port);
            EXPECT_EQ(PlayDownload(pc, d), "");
        });
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_EQ(good.output.rfind("READY COM5 /dev/pts/", 0), 0u) << good.output;
    EXPECT_NE(good.output.find("END consistent"), std::string::npos);
    EXPECT_EQ(FileBytes(temp_ / "record" / "code.bin"), *d.code);
    EXPECT_TRUE(LinkGone((ports_ / "COM5").string()));

    d.target = 0x18;
    const ProgramRun bad = RunProgram("--expect-target 0x38 --idle-timeout-ms 3000",
                                      [&](const std::string &port, auto) {
                                          PcLine pc(port);
                                          EXPECT_EQ(PlayDownload(pc, d), "");
                                      });
    EXPECT_EQ(bad.status, 1) << bad.output;
    EXPECT_NE(bad.output.find("memory target byte 0x18, expected 0x38"), std::string::npos);
}

// Each unit's line comes as its phone goes, so a PC can follow the run; the next phone is on the
// line by then when the plan leaves no gap.
TEST_F(PhoneTest, ProgramReportsEachUnitAsItsPhoneGoes) {
    Download d;
    d.loader = Pattern(40, 1);
    d.code = Pattern(300, 2);
    d.perso = Pattern(100, 3);
    const std::string record = (temp_ / "record").string();
    const ProgramRun run = RunProgram(
        "--units 2 --gap-attempts 0 --unit-fault 2:nak@code-block:1 --restart-delay-ms 10 "
        "--erase-delay-ms 10 --record " +
            record,
        [&](const std::string &port, auto next_line) {
            for (const char *unit :
                 {"UNIT 1 consistent finished flashings=1 probes=0 faults=none\n",
                  "UNIT 2 inconsistent released flashings=1 probes=0 "
                  "faults=nak=0x15@code-block:1\n"}) {
                {
                    PcLine pc(port, /*exclusive=*/true);
                    PlayDownload(pc, d);
                }
                EXPECT_EQ(next_line(), unit);
            }
        });
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("END inconsistent"), std::string::npos) << run.output;
    EXPECT_EQ(FileBytes(temp_ / "record" / "unit-1" / "perso.bin"), *d.perso);
    EXPECT_EQ(FileBytes(temp_ / "record" / "unit-2" / "code.bin"), *d.code);
}

TEST_F(PhoneTest, ProgramRefusesBadArguments) {
    const ProgramRun run = RunProgram("--fault nak@erase-end", [](const std::string &, auto) {});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("--fault: nak and silent go with a frame's answer"),
              std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace dekvanto::simtest
