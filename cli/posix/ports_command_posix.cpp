#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "core/ports/posix_port_source.h"
#include "core/text/outside_text.h"
#include "dekvanto/platform/port_name.h"
#include "dekvanto/platform/port_register.h"
#include "exit_status.h"
#include "info_commands.h"

namespace dekvanto::cli {
namespace {

namespace fs = std::filesystem;

int AssignPort(const std::string &assignment, const fs::path &register_dir, Console &console) {
    const auto equals = assignment.find('=');
    const std::string name = assignment.substr(0, equals);
    const std::string device = equals == std::string::npos ? "" : assignment.substr(equals + 1);
    const std::optional<platform::PortName> port = platform::PortName::Parse(name);
    if (!port || device.empty()) {
        console.err << "vanto: --assign takes COM<n>=DEVICE, for example COM3=/dev/ttyUSB0"
                    << std::endl;
        return kBadUsage;
    }
    const platform::PortAssignment done =
        platform::AssignPort(register_dir, port->Number(), device);
    switch (done.outcome) {
        case platform::PortAssignment::kLinked:
            console.out << port->Text() << " -> " << device << std::endl;
            return kFinished;
        case platform::PortAssignment::kAlreadyLinked:
            return kFinished;
        case platform::PortAssignment::kNoDevice:
            console.err << "vanto: device " << device << " does not exist" << std::endl;
            return kPortError;
        case platform::PortAssignment::kNotAbsolute:
            console.err << "vanto: --assign needs the device's absolute path, for example "
                           "COM3=/dev/ttyUSB0, not "
                        << device << std::endl;
            return kBadUsage;
        case platform::PortAssignment::kNotADevice:
            console.err << "vanto: " << device
                        << " is not a serial device (a character device such as /dev/ttyUSB0)"
                        << std::endl;
            return kPortError;
        case platform::PortAssignment::kThroughLink:
            console.err << "vanto: " << device
                        << " reaches its device through a symbolic link; give the device itself "
                           "or its name under /dev/serial/"
                        << std::endl;
            return kPortError;
        case platform::PortAssignment::kTaken:
            console.err << "vanto: " << port->Text() << " already leads to " << done.other
                        << "; remove " << done.link << " first" << std::endl;
            return kBadUsage;
        case platform::PortAssignment::kFailed:
            break;
    }
    console.err << "vanto: cannot make " << done.link << ": " << done.error.message() << std::endl;
    return kPortError;
}

}  // namespace

int RunPorts(const std::optional<std::string> &assign, Console &console) {
    auto places = dekvanto::core::PosixPortSource::SystemPlaces();
    if (assign) {
        if (places.register_directory.empty()) {
            console.err << "vanto: no port register: set DEKVANTO_PORTS or HOME" << std::endl;
            return kPortError;
        }
        if (const int status = AssignPort(*assign, places.register_directory, console)) {
            return status;
        }
    }
    dekvanto::core::PosixPortSource source(places);
    // Device paths and USB descriptors are the system's and the adapter maker's text: shown as
    // data, never acted on by the terminal.
    const auto column = [](const std::string &value, std::size_t width) {
        std::string text = dekvanto::core::TerminalText(value);
        text.resize(std::max(text.size(), width), ' ');
        return text;
    };
    for (const auto &entry : source.ListPorts()) {
        std::string text = column(entry.name, 7) + ' ' +
                           column(entry.device.empty() ? "-" : entry.device, 40) + ' ' +
                           dekvanto::core::TerminalText(entry.product);
        text.erase(text.find_last_not_of(' ') + 1);
        console.out << text << std::endl;
    }
    if (!places.register_directory.empty()) {
        console.out << "(port register: " << places.register_directory.string() << ")" << std::endl;
    }
    return kFinished;
}

}  // namespace dekvanto::cli
