#include "core/ports/port_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/ports/posix_port_source.h"
#include "dekvanto/platform/serial_devices.h"
#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;

TEST(PortList, NamesAreSortedWithoutRegardToCaseAndDuplicatesKept) {
    std::vector<PortEntry> list;
    for (const char *name : {"COM3", "COM1", "COM10", "com2", "COM2", "COM1"}) {
        AddSortedPort(list, {name, "", ""});
    }
    EXPECT_EQ(PortNames(list),
              (std::vector<std::string>{"COM1", "COM1", "COM10", "com2", "COM2", "COM3"}));
    AddFixedPorts(list, "", "");
    EXPECT_EQ(list.back().name, "COM2");
    EXPECT_EQ(list[list.size() - 2].name, "COM1");
}

// A machine under a temporary folder: sys/ (the kernel's tty class and devices), dev/ (device
// nodes as plain files, serial/by-id links) and ports/ (the engine's port register).
class FakeMachine : public ::testing::Test {
  protected:
    fs::path Sys() const { return folder_ / "sys"; }
    fs::path Dev() const { return folder_ / "dev"; }
    fs::path Ports() const { return folder_ / "ports"; }

    // A real UART; type 0 marks a reserved port number without hardware.
    void AddUart(const std::string &tty, int type) {
        fs::create_directories(Sys() / "class/tty" / tty / "device");
        folder_.Write(Sys() / "class/tty" / tty / "type", std::to_string(type) + "\n");
        folder_.Write(Dev() / tty, "");
    }

    // A USB adapter: the tty's device lies below the USB device that carries the product name
    // and, when it has one, the serial number.
    void AddUsb(const std::string &tty, const std::string &usb, const std::string &product,
                const std::string &by_id = "", const std::string &serial = "") {
        const fs::path usb_device = Sys() / "devices/pci0000:00/usb1" / usb;
        const fs::path port = usb_device / (usb + ":1.0") / tty;
        fs::create_directories(port);
        folder_.Write(usb_device / "product", product + "\n");
        if (!serial.empty()) {
            folder_.Write(usb_device / "serial", serial + "\n");
        }
        fs::create_directories(Sys() / "class/tty" / tty);
        fs::create_symlink(port, Sys() / "class/tty" / tty / "device");
        folder_.Write(Dev() / tty, "");
        if (!by_id.empty()) {
            fs::create_directories(Dev() / "serial/by-id");
            fs::remove(Dev() / "serial/by-id" / by_id);
            fs::create_symlink("../../" + tty, Dev() / "serial/by-id" / by_id);
        }
    }

    void Unplug(const std::string &tty, const std::string &by_id) {
        fs::remove_all(Sys() / "class/tty" / tty);
        fs::remove(Dev() / tty);
        fs::remove(Dev() / "serial/by-id" / by_id);
    }

    void AddRegisterLink(const std::string &name, const fs::path &target) {
        fs::create_directories(Ports());
        fs::create_symlink(target, Ports() / name);
    }

    std::vector<PortEntry> List() {
        PosixPortSource source({Ports(), {Sys(), Dev()}});
        return source.ListPorts();
    }

    std::string Node(const std::string &tty) const { return (Dev() / tty).string(); }

    TempFolder folder_;
};

TEST_F(FakeMachine, DevicesTakeTheLowestFreeNumbersBesideTheRegistersOwnEntries) {
    AddUart("ttyS0", 4);
    AddUart("ttyS1", 0);                               // no hardware behind it
    fs::create_directories(Sys() / "class/tty/tty0");  // a virtual terminal: no device
    folder_.Write(Dev() / "tty0", "");
    AddUsb("ttyUSB0", "1-1", "FT232R USB UART", "usb-FTDI_FT232R_A1-if00-port0");
    AddUsb("ttyACM0", "1-2", "VANTO Phone");
    folder_.Write(Dev() / "pts/7", "");
    AddRegisterLink("COM2", Dev() / "pts/7");   // the phone simulator's line
    AddRegisterLink("COM5", folder_ / "gone");  // an unplugged adapter keeps its number
    folder_.Write(Ports() / "README", "not a port");

    const std::vector<PortEntry> expected = {
        {"COM1", Node("ttyS0"), ""},
        {"COM2", Node("pts/7"), ""},
        {"COM3", Node("ttyACM0"), "VANTO Phone"},
        {"COM4", Node("ttyUSB0"), "FT232R USB UART"},
    };
    EXPECT_EQ(List(), expected);
    EXPECT_EQ(fs::read_symlink(Ports() / "COM1"), Dev() / "ttyS0");
    EXPECT_EQ(fs::read_symlink(Ports() / "COM3"), Dev() / "ttyACM0");
    EXPECT_EQ(fs::read_symlink(Ports() / "COM4"),
              Dev() / "serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
    EXPECT_FALSE(fs::is_symlink(Ports() / "COM6"));

    // The next listing finds the same numbers and makes no new link.
    EXPECT_EQ(List(), expected);
    int links = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(Ports())) {
        ++links;
    }
    EXPECT_EQ(links, 6);  // COM1-COM5 and README
}

TEST_F(FakeMachine, ReplugedAdapterKeepsItsNumberUnderAnotherTty) {
    AddUsb("ttyUSB0", "1-1", "Cable A", "usb-A-if00-port0");
    AddUsb("ttyUSB1", "1-3", "Cable B", "usb-B-if00-port0", "B0042");
    ASSERT_EQ(PortNames(List()), (std::vector<std::string>{"COM1", "COM2"}));

    Unplug("ttyUSB0", "usb-A-if00-port0");
    const std::vector<PortEntry> unplugged = List();
    ASSERT_EQ(unplugged.size(), 1u);
    EXPECT_EQ(unplugged[0], (PortEntry{"COM2", Node("ttyUSB1"), "Cable B", "B0042"}));

    // Cable A comes back as ttyUSB2; a new cable C must not take its number.
    AddUsb("ttyUSB2", "1-1", "Cable A", "usb-A-if00-port0");
    AddUsb("ttyUSB3", "1-4", "Cable C", "usb-C-if00-port0");
    const std::vector<PortEntry> expected = {
        {"COM1", Node("ttyUSB2"), "Cable A"},
        {"COM2", Node("ttyUSB1"), "Cable B", "B0042"},
        {"COM3", Node("ttyUSB3"), "Cable C"},
    };
    EXPECT_EQ(List(), expected);
}

TEST_F(FakeMachine, OnlyComWithANumberNamesAPort) {
    folder_.Write(Dev() / "ttyX", "");
    for (const char *name : {"COM0", "COM03", "COMx", "com4", "COM", "COM123456"}) {
        AddRegisterLink(name, Dev() / "ttyX");
    }
    AddRegisterLink("COM12", Dev() / "ttyX");
    EXPECT_EQ(List(), (std::vector<PortEntry>{{"COM12", Node("ttyX"), ""}}));
}

TEST_F(FakeMachine, NothingFoundOffersTheTwoFixedNamesAndCreatesTheRegister) {
    EXPECT_EQ(List(),
              (std::vector<PortEntry>{{"COM1", Node("ttyS0"), ""}, {"COM2", Node("ttyS1"), ""}}));
    EXPECT_TRUE(fs::is_directory(Ports()));
}

TEST_F(FakeMachine, RegisterThatCannotTakeLinksLeavesTheDevicesOut) {
    AddUsb("ttyUSB0", "1-1", "Cable A");
    folder_.Write("ports", "a plain file where the register should be");
    EXPECT_EQ(PortNames(List()), (std::vector<std::string>{"COM1", "COM2"}));
}

TEST_F(FakeMachine, DevicesAreHandedOutUartsFirstThenByNameAndNumber) {
    AddUsb("ttyUSB10", "1-1", "a");
    AddUsb("ttyUSB2", "1-2", "b");
    AddUsb("ttyACM1", "1-3", "c");
    AddUart("ttyS3", 1);
    AddUart("ttyS10", 1);
    AddUart("ttyAMA0", 2);
    std::vector<std::string> order;
    for (const platform::SerialDevice &device : platform::FindSerialDevices({Sys(), Dev()})) {
        order.push_back(device.tty);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"ttyS3", "ttyS10", "ttyACM1", "ttyAMA0", "ttyUSB2",
                                               "ttyUSB10"}));
}

}  // namespace
}  // namespace dekvanto::core
