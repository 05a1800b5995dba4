#include "port_check.h"

#include "dekvanto/platform/port_device.h"
#include "dekvanto/platform/port_name.h"

namespace dekvanto::cli {

PortDiagnosis CheckPortBeforeDownload(const std::string &port_name) {
    PortDiagnosis diagnosis;
    const std::optional<platform::PortName> port = platform::PortName::Parse(port_name);
    if (!port) {
        diagnosis.problem = PortProblem::kBadName;
        return diagnosis;
    }
    diagnosis.device = platform::DeviceForPort(*port);
    switch (platform::AccessOfDevice(diagnosis.device)) {
        case platform::DeviceAccess::kUsable:
            break;
        case platform::DeviceAccess::kMissing:
            diagnosis.problem = PortProblem::kMissing;
            break;
        case platform::DeviceAccess::kNotPermitted:
            diagnosis.problem = PortProblem::kNotPermitted;
            diagnosis.group = platform::GroupOfDevice(diagnosis.device);
            break;
    }
    return diagnosis;
}

PortDiagnosis DiagnosePortError(const std::string &port_name) {
    PortDiagnosis diagnosis = CheckPortBeforeDownload(port_name);
    if (diagnosis.problem == PortProblem::kNone &&
        platform::DeviceHeldByAnother(diagnosis.device)) {
        diagnosis.problem = PortProblem::kBusy;
    }
    return diagnosis;
}

std::string PortProblemText(const std::string &port_name, const PortDiagnosis &diagnosis) {
    const std::string port = "port " + port_name + " (" + diagnosis.device + ")";
    switch (diagnosis.problem) {
        case PortProblem::kNone:
            return port + " could not be opened or configured";
        case PortProblem::kBadName:
            return "port name '" + port_name + "' is not COM followed by a number from 1 up";
        case PortProblem::kMissing:
            return port + " does not exist (see 'vanto ports')";
        case PortProblem::kBusy:
            return port + " is busy: another program holds it";
        case PortProblem::kNotPermitted: {
            const std::string group = diagnosis.group.empty() ? "dialout" : diagnosis.group;
            return port +
                   " is not permitted for this user: join the group that owns it, for "
                   "example 'sudo usermod -aG " +
                   group + " $USER', then log in again";
        }
    }
    return port;
}

}  // namespace dekvanto::cli
