#include "core/ports/registry_port_source.h"

#include <windows.h>

#include <string>
#include <utility>

namespace dekvanto::core {
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

RegistryPortSource::RegistryPortSource() : RegistryPortSource(HKEY_LOCAL_MACHINE, kSerialCommKey) {}

RegistryPortSource::RegistryPortSource(HKEY__ *root, std::string subkey)
    : root_(root), subkey_(std::move(subkey)) {}

std::vector<PortEntry> RegistryPortSource::ListPorts() {
    std::vector<PortEntry> list;
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) {
        std::string name(kValueNameBufferSize, '\0');
        DWORD index = 0;
        for (;; ++index) {
            DWORD name_size = kValueNameBufferSize;
            if (::RegEnumValueA(key, index, name.data(), &name_size, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS) {
                break;
            }
            BYTE data[kValueDataBufferSize];
            DWORD data_size = kValueDataBufferSize;
            status = ::RegQueryValueExA(key, name.c_str(), nullptr, nullptr, data, &data_size);
            if (status == ERROR_SUCCESS) {
                AddSortedPort(list, {DataText(data, data_size), name.substr(0, name_size), ""});
            }
        }
        if (index == 0) {
            status = ERROR_NO_MORE_ITEMS;
        }
        ::RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        AddFixedPorts(list, "", "");
    }
    return list;
}

void RegistryPortSource::RegisterTypedPort(std::string_view name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    const std::string text(name);
    ::RegSetValueExA(key, text.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(key);
}

}  // namespace dekvanto::core
