#include <windows.h>

#include <string_view>

#include "dekvanto/platform/port_device.h"

namespace dekvanto::platform {
namespace {

std::string Environment(const char *name) {
    char value[MAX_PATH] = {};
    const DWORD size = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return size > 0 && size < MAX_PATH ? std::string(value) : std::string();
}

bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine gives a program the port COM<n> when its prefix's folder dosdevices holds a link com<n>
// to a Unix device; a link made after Wine started is opened all the same, but the system's name
// table (QueryDosDeviceA) only knows the ports that were there at the start. Wine tells its
// programs the prefix in WINECONFIGDIR, as an NT path ("\??\Z:\...").
bool WinePrefixHasPort(const std::string &dos_name) {
    std::string prefix = Environment("WINECONFIGDIR");
    const std::string nt_prefix = "\\??\\";
    if (prefix.rfind(nt_prefix, 0) == 0) {
        prefix.erase(0, nt_prefix.size());
    }
    if (prefix.empty()) {
        return false;
    }
    // The link is looked for in the folder's listing: a name such as "com3" given on its own
    // means the device, not the file.
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((prefix + "\\dosdevices\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool listed = false;
    do {
        listed = _stricmp(found.cFileName, dos_name.c_str()) == 0;
    } while (!listed && ::FindNextFileA(search, &found));
    ::FindClose(search);
    return listed;
}

// Whether the system knows a device of that name: \\.\COM<n> exists only while a driver provides
// COM<n>.
bool DeviceNameKnown(const std::string &dos_name) {
    char target[1024];
    if (::QueryDosDeviceA(dos_name.c_str(), target, sizeof target) != 0) {
        return true;
    }
    return RunningUnderWine() && WinePrefixHasPort(dos_name);
}

}  // namespace

DeviceAccess AccessOfDevice(const std::string &device) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    const std::string dos_name =
        device.starts_with(kDevicePrefix) ? device.substr(kDevicePrefix.size()) : device;
    return DeviceNameKnown(dos_name) ? DeviceAccess::kUsable : DeviceAccess::kMissing;
}

std::string GroupOfDevice(const std::string &) {
    return "";
}

bool DeviceHeldByAnother(const std::string &device) {
    HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    }
    ::CloseHandle(handle);
    return false;
}

}  // namespace dekvanto::platform
