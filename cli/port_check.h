// Why a port cannot be used, in one line for the user. The engine only says "port error" ('9');
// the tool looks at the device behind COM<n> (dekvanto/platform/port_name.h) to say whether it is
// missing, not permitted or held by another program (dekvanto/platform/port_device.h; on Windows
// "not permitted" does not occur).
#pragma once

#include <optional>
#include <string>

namespace dekvanto::cli {

enum class PortProblem { kNone, kBadName, kMissing, kNotPermitted, kBusy };

struct PortDiagnosis {
    PortProblem problem = PortProblem::kNone;
    std::string device;  // the device behind the port name ("" for a bad name)
    std::string group;   // the group owning the device (for kNotPermitted), or ""
};

// Before a download: a bad name, a missing device or one this user may not open. Does not open
// the device (a phone may be listening for the PC's open).
PortDiagnosis CheckPortBeforeDownload(const std::string &port_name);

// After a port error: the checks above, then whether another program holds the device.
PortDiagnosis DiagnosePortError(const std::string &port_name);

// The line the user reads, e.g. "port COM3 (/dev/ttyUSB0) is busy: another program holds it";
// for kNotPermitted it ends with the hint to join the group that owns serial devices.
std::string PortProblemText(const std::string &port_name, const PortDiagnosis &diagnosis);

}  // namespace dekvanto::cli
