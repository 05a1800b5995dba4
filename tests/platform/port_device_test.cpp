// The device behind a port: what this user may do with it, and the exclusive hold that a
// download takes and that other programs see.
#include "dekvanto/platform/port_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace dekvanto::platform {
namespace {

TEST(PortDevice, AMissingDeviceIsToldApartFromAUsableOne) {
    EXPECT_EQ(AccessOfDevice("/dev/null"), DeviceAccess::kUsable);
    EXPECT_EQ(AccessOfDevice("/nonexistent/ttyUSB0"), DeviceAccess::kMissing);
    EXPECT_EQ(GroupOfDevice("/nonexistent/ttyUSB0"), "");
    EXPECT_FALSE(GroupOfDevice("/dev/null").empty());
}

TEST(PortDevice, AHeldTerminalIsSeenAsHeldUntilItIsLetGo) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);

    EXPECT_FALSE(DeviceHeldByAnother(device));
    ASSERT_TRUE(HoldDevice(fd));
    EXPECT_TRUE(DeviceHeldByAnother(device));
    ReleaseDevice(fd);
    EXPECT_FALSE(DeviceHeldByAnother(device));
    ::close(fd);
    ::close(master);
}

// A file that is no terminal cannot be held, and the refused hold leaves no lock behind.
TEST(PortDevice, ANonTerminalIsNotHeld) {
    char pattern[] = "/tmp/dekvanto-device-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    std::ofstream(dir / "plain") << "x";
    const int fd = ::open((dir / "plain").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(HoldDevice(fd));
    const int other = ::open((dir / "plain").c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
    ::close(fd);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dekvanto::platform
