#include <filesystem>

#include "core/port_name.h"
#include "core/unit_record.h"
#include "dekvanto/platform/port_register.h"
#include "dekvanto/platform/serial_devices.h"

namespace dekvanto::app {

RecordDevice DeviceOfStation(std::string_view port_name) {
    namespace fs = std::filesystem;
    RecordDevice device;
    const std::optional<int> number = NumberAfterPrefix(port_name);
    const std::optional<std::string> entry =
        number ? platform::DeviceForPort(*number) : std::nullopt;
    if (!entry) {
        return device;
    }
    std::error_code error;
    const fs::path node = fs::canonical(*entry, error);
    device.path = error ? *entry : node.string();
    if (error) {
        return device;
    }
    for (const platform::SerialDevice &serial : platform::FindSerialDevices({})) {
        std::error_code other;
        if (fs::canonical(serial.node, other) == node && !other) {
            if (!serial.usb_serial.empty()) {
                device.usb_serial = serial.usb_serial;
            }
            if (!serial.product.empty()) {
                device.usb_product = serial.product;
            }
            break;
        }
    }
    return device;
}

}  // namespace dekvanto::app
