// vanto.exe under Wine without a phone: its help, the port check before the engine runs, several
// stations as processes of their own, the port list, and the engine loaded from its own folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "vanto_process.h"

namespace dekvanto::wintest {
namespace {

bool Holds(const std::string &output, const std::string &text) {
    return output.find(text) != std::string::npos;
}

// A small file in the temporary folder, for the options that must name readable files.
std::string SmallFile(const std::string &name) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "vanto-cli-" + name;
    std::ofstream(path, std::ios::binary) << "0123456789";
    return path;
}

TEST(VantoTest, HelpListsTheCommandsAndTheExitStatuses) {
    const VantoRun run = RunVanto({"--help"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Holds(run.output, "Usage: vanto")) << run.output;
    EXPECT_TRUE(Holds(run.output, "download")) << run.output;
    EXPECT_TRUE(Holds(run.output, "4  port error")) << run.output;
}

TEST(VantoTest, AMissingPortIsNamedBeforeTheEngineOpensAnything) {
    const VantoRun run =
        RunVanto({"download", "--port", "COM39", "--loader", SmallFile("loader.bin")});
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_TRUE(Holds(run.output, "vanto: port COM39 (\\\\.\\COM39) does not exist")) << run.output;

    const VantoRun bad = RunVanto({"download", "--port", "COM0", "--loader", SmallFile("l.bin")});
    EXPECT_EQ(bad.status, 2) << bad.output;
}

// A COM port that opens but cannot be set up as a serial line (with_unusable_port.sh links it to
// /dev/null): the engine's message box becomes a printed line and is closed without a click.
TEST(VantoTest, AnEngineBoxBecomesALineAndThePortErrorIsExplained) {
    const char *com = std::getenv("DEKVANTO_UNUSABLE_COM");
    if (com == nullptr) {
        GTEST_SKIP() << "needs a port that cannot be configured (with_unusable_port.sh)";
    }
    const std::string port = std::string("COM") + com;
    const VantoRun run = RunVanto({"download", "--port", port, "--loader", SmallFile("l.bin")});
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_TRUE(Holds(run.output, "[message] Error Open COM port")) << run.output;
    EXPECT_TRUE(Holds(run.output, "---------------------Error opening com port")) << run.output;
    EXPECT_TRUE(Holds(run.output, "vanto: port " + port + " (\\\\.\\" + port +
                                      ") could not be opened or configured"))
        << run.output;
}

TEST(VantoTest, SeveralStationsRunAsProcessesOfTheirOwnAndEndInOneTable) {
    const VantoRun run = RunVanto(
        {"download", "--port", "COM37,COM38", "--loader", SmallFile("loader.bin"), "--json"});
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_TRUE(Holds(run.output, "COM37: port COM37 (\\\\.\\COM37) does not exist")) << run.output;
    EXPECT_TRUE(Holds(run.output, "COM38: port COM38 (\\\\.\\COM38) does not exist")) << run.output;
    EXPECT_TRUE(Holds(run.output, "Station  Port")) << run.output;
    // The JSON summary holds both stations with their statuses.
    EXPECT_TRUE(Holds(run.output, "\"port\":\"COM37\"")) << run.output;
    EXPECT_TRUE(Holds(run.output, "\"port\":\"COM38\"")) << run.output;
    EXPECT_TRUE(Holds(run.output, "\"status\":4}")) << run.output;
}

TEST(VantoTest, EveryStationsEventsArriveAsWholeLines) {
    const VantoRun run = RunVanto(
        {"download", "--port", "COM35,COM36", "--loader", SmallFile("loader.bin"), "--events"});
    EXPECT_EQ(run.status, 4) << run.output;
    for (const std::string port : {"COM35", "COM36"}) {
        const std::string unit = "\"station\":\"" + port + "\",\"unit\":1";
        EXPECT_TRUE(Holds(run.output, "{\"event\":\"unit-start\"," + unit + "}\r\n")) << run.output;
        EXPECT_TRUE(Holds(run.output, "{\"event\":\"unit-end\"," + unit +
                                          ",\"result\":null,\"status\":4,\"seconds\":0.0,"
                                          "\"bytes\":0,\"error\":\"port " +
                                          port + " (\\\\\\\\.\\\\" + port +
                                          ") does not exist (see 'vanto ports')\"}\r\n"))
            << run.output;
    }
}

TEST(VantoTest, PortsListsTheSystemsRegisterOfSerialDevices) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char port[] = "COM29";
    ASSERT_EQ(::RegSetValueExA(key, "\\Device\\VantoTest", 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(port), sizeof port),
              ERROR_SUCCESS);
    const VantoRun run = RunVanto({"ports"});
    ::RegDeleteValueA(key, "\\Device\\VantoTest");
    ::RegCloseKey(key);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Holds(run.output, "COM29   \\Device\\VantoTest")) << run.output;
    EXPECT_TRUE(
        Holds(run.output, "(port register: HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM)"))
        << run.output;
}

TEST(VantoTest, CheckMapUsesTheEngineBesideTheProgram) {
    const VantoRun run = RunVanto({"check-map", "Z:\\no\\such\\code.bin", SmallFile("p.psb")});
    EXPECT_EQ(run.status, 5) << run.output;  // the code file cannot be opened: a file error
    EXPECT_FALSE(Holds(run.output, "cannot load the engine library")) << run.output;
}

}  // namespace
}  // namespace dekvanto::wintest
