// The port register: where it is, what COM<n> opens, which entries are ports, and how entries
// are made and taken back by the programs that share it.
#include "dekvanto/platform/port_register.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

namespace dekvanto::platform {
namespace {

namespace fs = std::filesystem;

class PortRegisterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dekvanto-register-XXXXXX";
        dir = ::mkdtemp(pattern);
        std::ofstream(dir / "tty0") << "a device";
        std::ofstream(dir / "tty1") << "another device";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST(PortRegisterPlace, ComesFromTheVariablesElseHomeAndPortsWithoutEntryAreTheKernels) {
    ::setenv("DEKVANTO_PORTS", "/nonexistent-register", 1);
    EXPECT_EQ(PortRegisterDirectory(), "/nonexistent-register");
    EXPECT_EQ(DeviceForPort(1), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPort(12), "/dev/ttyS11");
    EXPECT_EQ(DeviceForPort(0), std::nullopt);
    EXPECT_EQ(DeviceForPort(-3), std::nullopt);
    ::unsetenv("DEKVANTO_PORTS");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(PortRegisterDirectory(), "/cfg/dekvanto/ports");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(PortRegisterDirectory(), "/home/tech/.config/dekvanto/ports");
}

TEST(PortRegisterNames, OnlyComAndANumberFromOneWithoutLeadingZeroIsAPort) {
    EXPECT_EQ(PortNumberOfEntry("COM1"), 1);
    EXPECT_EQ(PortNumberOfEntry("COM99999"), 99999);
    for (const char *name : {"COM", "COM0", "COM03", "com4", "COM4x", "COM123456", "README"}) {
        EXPECT_EQ(PortNumberOfEntry(name), std::nullopt) << name;
    }
}

// An entry whose device has gone (even one left dangling) keeps its number for an adapter that
// comes back, unless its taker may replace it; a live entry is never replaced.
TEST_F(PortRegisterTest, NewLinksTakeTheLowestFreeNumber) {
    fs::create_symlink(dir / "tty0", dir / "COM1");
    fs::create_symlink(dir / "gone", dir / "COM2");
    EXPECT_EQ(LinkLowestFreePort(dir, 1, 5, dir / "tty1", StaleEntries::kKeep), 3);
    EXPECT_EQ(fs::read_symlink(dir / "COM3"), dir / "tty1");
    EXPECT_EQ(LinkLowestFreePort(dir, 1, 5, dir / "tty1", StaleEntries::kReplace), 2);
    EXPECT_EQ(fs::read_symlink(dir / "COM2"), dir / "tty1");
    EXPECT_EQ(LinkLowestFreePort(dir, 1, 3, dir / "tty1", StaleEntries::kReplace), std::nullopt);
    EXPECT_EQ(fs::read_symlink(dir / "COM1"), dir / "tty0");

    const std::vector<RegisterEntry> entries = ReadPortRegister(dir);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].number, 1);
    EXPECT_EQ(entries[2].number, 3);
    EXPECT_EQ(entries[0].device, fs::canonical(dir / "tty0"));

    // Taken back only by the program whose link it still is.
    RemovePortLink(dir / "COM1", dir / "tty1");
    EXPECT_TRUE(fs::is_symlink(dir / "COM1"));
    RemovePortLink(dir / "COM3", dir / "tty1");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "COM3")));
}

// Character devices every machine has stand for serial devices here.
TEST_F(PortRegisterTest, AssigningByHandMakesTheLinkOnceAndNeverMovesAnother) {
    const fs::path ports = dir / "ports";  // made on the first assignment
    PortAssignment done = AssignPort(ports, 3, "/dev/null");
    EXPECT_EQ(done.outcome, PortAssignment::kLinked);
    EXPECT_EQ(fs::read_symlink(ports / "COM3"), "/dev/null");
    EXPECT_EQ(AssignPort(ports, 3, "/dev/null").outcome, PortAssignment::kAlreadyLinked);

    done = AssignPort(ports, 3, "/dev/zero");
    EXPECT_EQ(done.outcome, PortAssignment::kTaken);
    EXPECT_EQ(done.other, "/dev/null");
    EXPECT_EQ(fs::read_symlink(ports / "COM3"), "/dev/null");

    EXPECT_EQ(AssignPort(ports, 4, dir / "missing").outcome, PortAssignment::kNoDevice);
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM4")));

    std::ofstream(ports / "COM5") << "a plain file in the way";
    done = AssignPort(ports, 5, "/dev/zero");
    EXPECT_EQ(done.outcome, PortAssignment::kFailed);
    EXPECT_TRUE(done.error);
}

// Of the links on the way to a device, only the stable names the system keeps under /dev/serial/
// are followed (files, folders and relative paths are tried on vanto itself).
TEST(PortDeviceRule, OnlyTheSystemsSerialNamesLeadToADeviceThroughALink) {
    const DeviceFacts device{true, true, false};
    const DeviceFacts linked_device{true, true, true};
    EXPECT_EQ(RefusalOfDevice("/dev/ttyUSB0", device), std::nullopt);
    EXPECT_EQ(RefusalOfDevice("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", linked_device),
              std::nullopt);
    EXPECT_EQ(RefusalOfDevice("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0", linked_device),
              std::nullopt);
    EXPECT_EQ(RefusalOfDevice("/home/ann/tty", linked_device), PortAssignment::kThroughLink);
    EXPECT_EQ(RefusalOfDevice("/dev/serial/../../home/ann/tty", linked_device),
              PortAssignment::kThroughLink);
    EXPECT_EQ(RefusalOfDevice("/dev/serial-x/tty", linked_device), PortAssignment::kThroughLink);
}

}  // namespace
}  // namespace dekvanto::platform
