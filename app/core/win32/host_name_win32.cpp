#include <windows.h>

#include "core/records/host_name.h"

namespace dekvanto::core {

std::string HostName() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (!::GetComputerNameExA(ComputerNameDnsHostname, name, &size)) {
        return "";
    }
    return std::string(name, size);
}

}  // namespace dekvanto::core
