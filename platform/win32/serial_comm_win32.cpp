#include <windows.h>

#include "dekvanto/platform/serial_comm.h"

namespace dekvanto::platform {
namespace {

// The registry's longest value name (16383 characters) and its NUL.
constexpr DWORD kValueNameBufferSize = 16384;
// A port name of up to 9 characters and its NUL.
constexpr DWORD kValueDataBufferSize = 10;

// The text of a value's data: up to its first NUL (data stored without one ends at its size).
std::string DataText(const BYTE *data, DWORD size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    const auto end = text.find('\0');
    if (end != std::string::npos) {
        text.resize(end);
    }
    return text;
}

}  // namespace

HKEY__ *LocalMachineKey() {
    return HKEY_LOCAL_MACHINE;
}

std::optional<std::vector<SerialCommValue>> ReadSerialComm(HKEY__ *root,
                                                           const std::string &subkey) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<SerialCommValue> values;
    std::string name(kValueNameBufferSize, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD name_size = kValueNameBufferSize;
        if (::RegEnumValueA(key, index, name.data(), &name_size, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
            break;
        }
        SerialCommValue value{name.substr(0, name_size), std::nullopt};
        BYTE data[kValueDataBufferSize];
        DWORD data_size = kValueDataBufferSize;
        if (::RegQueryValueExA(key, value.device.c_str(), nullptr, nullptr, data, &data_size) ==
            ERROR_SUCCESS) {
            value.port = DataText(data, data_size);
        }
        values.push_back(std::move(value));
    }
    ::RegCloseKey(key);
    return values;
}

void AddSerialCommPort(HKEY__ *root, const std::string &subkey, std::string_view port) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    const std::string text(port);
    ::RegSetValueExA(key, text.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(key);
}

}  // namespace dekvanto::platform
