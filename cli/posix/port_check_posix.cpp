#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/port_name.h"
#include "line/port_register.h"
#include "port_check.h"

namespace dekvanto::cli {
namespace {

std::string GroupOf(const std::string &device) {
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0) {
        return "";
    }
    const struct group *owner = ::getgrgid(status.st_gid);
    return owner != nullptr ? owner->gr_name : "";
}

}  // namespace

bool DeviceHeldByAnother(const std::string &device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

PortDiagnosis CheckPortBeforeDownload(const std::string &port_name) {
    PortDiagnosis diagnosis;
    if (!dekvanto::app::ReadsAsComPort(port_name)) {
        diagnosis.problem = PortProblem::kBadName;
        return diagnosis;
    }
    const auto number = dekvanto::app::NumberAfterPrefix(port_name);
    const auto device = number ? dekvanto::engine::DeviceForPort(*number) : std::nullopt;
    if (!device) {
        diagnosis.problem = PortProblem::kBadName;
        return diagnosis;
    }
    diagnosis.device = *device;
    if (::access(device->c_str(), F_OK) != 0) {
        diagnosis.problem = PortProblem::kMissing;
    } else if (::access(device->c_str(), R_OK | W_OK) != 0) {
        diagnosis.problem = PortProblem::kNotPermitted;
        diagnosis.group = GroupOf(*device);
    }
    return diagnosis;
}

}  // namespace dekvanto::cli
