#include "dekvanto/platform/port_device.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dekvanto::platform {

DeviceAccess AccessOfDevice(const std::string &device) {
    if (::access(device.c_str(), F_OK) != 0) {
        return DeviceAccess::kMissing;
    }
    if (::access(device.c_str(), R_OK | W_OK) != 0) {
        return DeviceAccess::kNotPermitted;
    }
    return DeviceAccess::kUsable;
}

std::string GroupOfDevice(const std::string &device) {
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0) {
        return "";
    }
    const struct group *owner = ::getgrgid(status.st_gid);
    return owner != nullptr ? owner->gr_name : "";
}

bool HoldDevice(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return false;
    }
    if (!::isatty(fd) || ::ioctl(fd, TIOCEXCL) != 0) {
        ::flock(fd, LOCK_UN);
        return false;
    }
    return true;
}

void ReleaseDevice(int fd) {
    ::flock(fd, LOCK_UN);
    ::ioctl(fd, TIOCNXCL);
}

bool DeviceHeldByAnother(const std::string &device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace dekvanto::platform
