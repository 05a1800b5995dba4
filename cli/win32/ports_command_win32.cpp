#include <cstdio>
#include <ostream>

#include "core/ports/registry_port_source.h"
#include "core/text/outside_text.h"
#include "exit_status.h"
#include "info_commands.h"

namespace dekvanto::cli {

int RunPorts(const std::optional<std::string> &assign, Console &console) {
    if (assign) {
        console.err << "vanto: --assign is for the port register of Linux; on Windows the "
                       "system gives each serial device its COM<n> (Device Manager)"
                    << std::endl;
        return kBadUsage;
    }
    dekvanto::core::RegistryPortSource source;
    for (const auto &entry : source.ListPorts()) {
        char row[256];
        std::snprintf(row, sizeof row, "%-7s %s", entry.name.c_str(),
                      entry.device.empty() ? "-" : entry.device.c_str());
        console.out << dekvanto::core::TerminalText(row) << std::endl;
    }
    console.out << "(port register: HKEY_LOCAL_MACHINE\\" << dekvanto::core::kSerialCommKey << ")"
                << std::endl;
    return kFinished;
}

}  // namespace dekvanto::cli
