#include <filesystem>

#include "core/port_name.h"
#include "core/unit_record.h"
#include "dekvanto/platform/port_register.h"
#include "dekvanto/platform/serial_devices.h"

namespace dekvanto::app {

RecordDevice DeviceOfStation(std::string_view port_name) {
    namespace fs = std::filesystem;
    const std::optional<int> number = NumberAfterPrefix(port_name);
    const std::optional<std::string> entry =
        number ? platform::DeviceForPort(*number) : std::nullopt;
    if (!entry) {
        return RecordDevice{};
    }
    std::error_code error;
    const fs::path node = fs::canonical(*entry, error);
    if (error) {
        return RecordDevice{*entry, {}, {}};
    }
    for (const platform::SerialDevice &serial : platform::FindSerialDevices({})) {
        std::error_code other;
        if (fs::canonical(serial.node, other) == node && !other) {
            return DeviceRecord(node.string(), serial.usb_serial, serial.product);
        }
    }
    return RecordDevice{node.string(), {}, {}};
}

}  // namespace dekvanto::app
