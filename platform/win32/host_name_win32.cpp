#include <windows.h>

#include "dekvanto/platform/host_name.h"

namespace dekvanto::platform {

std::string HostName() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (!::GetComputerNameExA(ComputerNameDnsHostname, name, &size)) {
        return "";
    }
    return std::string(name, size);
}

}  // namespace dekvanto::platform
