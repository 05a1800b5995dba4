#include <cstdio>
#include <filesystem>
#include <ostream>

#include "core/port_name.h"
#include "core/posix_port_source.h"
#include "exit_status.h"
#include "info_commands.h"

namespace dekvanto::cli {
namespace {

namespace fs = std::filesystem;

int AssignPort(const std::string &assignment, const fs::path &register_dir, Console &console) {
    const auto equals = assignment.find('=');
    const std::string name = assignment.substr(0, equals);
    const std::string device = equals == std::string::npos ? "" : assignment.substr(equals + 1);
    if (!dekvanto::app::ReadsAsComPort(name) ||
        name.find_first_not_of("COM0123456789") != std::string::npos || device.empty()) {
        console.err << "vanto: --assign takes COM<n>=DEVICE, for example COM3=/dev/ttyUSB0"
                    << std::endl;
        return kBadUsage;
    }
    std::error_code error;
    if (!fs::exists(device, error)) {
        console.err << "vanto: device " << device << " does not exist" << std::endl;
        return kPortError;
    }
    const fs::path link = register_dir / name;
    if (fs::is_symlink(link, error)) {
        if (fs::read_symlink(link, error) == fs::path(device)) {
            return kFinished;
        }
        console.err << "vanto: " << name << " already leads to " << fs::read_symlink(link, error)
                    << "; remove " << link << " first" << std::endl;
        return kBadUsage;
    }
    fs::create_directories(register_dir, error);
    fs::create_symlink(device, link, error);
    if (error) {
        console.err << "vanto: cannot make " << link << ": " << error.message() << std::endl;
        return kPortError;
    }
    console.out << name << " -> " << device << std::endl;
    return kFinished;
}

}  // namespace

int RunPorts(const std::optional<std::string> &assign, Console &console) {
    auto places = dekvanto::app::PosixPortSource::SystemPlaces();
    if (assign) {
        if (places.register_directory.empty()) {
            console.err << "vanto: no port register: set DEKVANTO_PORTS or HOME" << std::endl;
            return kPortError;
        }
        if (const int status = AssignPort(*assign, places.register_directory, console)) {
            return status;
        }
    }
    dekvanto::app::PosixPortSource source(places);
    for (const auto &entry : source.ListPorts()) {
        char row[256];
        std::snprintf(row, sizeof row, "%-7s %-40s %s", entry.name.c_str(),
                      entry.device.empty() ? "-" : entry.device.c_str(), entry.product.c_str());
        std::string text = row;
        text.erase(text.find_last_not_of(' ') + 1);
        console.out << text << std::endl;
    }
    if (!places.register_directory.empty()) {
        console.out << "(port register: " << places.register_directory.string() << ")" << std::endl;
    }
    return kFinished;
}

}  // namespace dekvanto::cli
