#include <string>
#include <utility>

#include "core/ports/registry_port_source.h"

namespace dekvanto::core {

RegistryPortSource::RegistryPortSource()
    : RegistryPortSource(platform::LocalMachineKey(), kSerialCommKey) {}

RegistryPortSource::RegistryPortSource(HKEY__ *root, std::string subkey)
    : root_(root), subkey_(std::move(subkey)) {}

std::vector<PortEntry> RegistryPortSource::ListPorts() {
    std::vector<PortEntry> list;
    const auto values = platform::ReadSerialComm(root_, subkey_);
    if (values) {
        for (const platform::SerialCommValue &value : *values) {
            if (value.port) {
                AddSortedPort(list, {*value.port, value.device, ""});
            }
        }
    }
    // The last read decides, even when earlier ports were listed.
    if (!values || values->empty() || !values->back().port) {
        AddFixedPorts(list, "", "");
    }
    return list;
}

void RegistryPortSource::RegisterTypedPort(std::string_view name) {
    platform::AddSerialCommPort(root_, subkey_, name);
}

}  // namespace dekvanto::core
