#include "core/ports/port_name.h"
#include "dekvanto/platform/port_device.h"
#include "dekvanto/platform/port_register.h"
#include "port_check.h"

namespace dekvanto::cli {

bool DeviceHeldByAnother(const std::string &device) {
    return platform::DeviceHeldByAnother(device);
}

PortDiagnosis CheckPortBeforeDownload(const std::string &port_name) {
    PortDiagnosis diagnosis;
    const auto number = dekvanto::core::ReadsAsComPort(port_name)
                            ? dekvanto::core::NumberAfterPrefix(port_name)
                            : std::nullopt;
    const auto device = number ? platform::DeviceForPort(*number) : std::nullopt;
    if (!device) {
        diagnosis.problem = PortProblem::kBadName;
        return diagnosis;
    }
    diagnosis.device = *device;
    switch (platform::AccessOfDevice(*device)) {
        case platform::DeviceAccess::kUsable:
            break;
        case platform::DeviceAccess::kMissing:
            diagnosis.problem = PortProblem::kMissing;
            break;
        case platform::DeviceAccess::kNotPermitted:
            diagnosis.problem = PortProblem::kNotPermitted;
            diagnosis.group = platform::GroupOfDevice(*device);
            break;
    }
    return diagnosis;
}

}  // namespace dekvanto::cli
