#include "core/ports/registry_port_source.h"
#include "core/records/unit_record.h"

namespace dekvanto::core {

RecordDevice DeviceOfStation(std::string_view port_name) {
    RegistryPortSource source;
    return DeviceOfPort(source.ListPorts(), port_name);
}

std::string DevicePathOfStation(std::string_view port_name) {
    return DeviceOfStation(port_name).path;
}

}  // namespace dekvanto::core
