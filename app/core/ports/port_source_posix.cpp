#include <string>

#include "core/ports/posix_port_source.h"
#include "dekvanto/platform/port_listing.h"
#include "dekvanto/platform/port_name.h"
#include "dekvanto/platform/port_register.h"

namespace dekvanto::core {

PosixPortSource::Places PosixPortSource::SystemPlaces() {
    return {platform::PortRegisterDirectory(), platform::SystemRoots{}};
}

std::vector<PortEntry> PosixPortSource::ListPorts() {
    std::vector<PortEntry> list;
    if (!places_.register_directory.empty()) {
        for (const platform::ListedPort &port :
             platform::ListPortRegister(places_.register_directory, places_.roots)) {
            const auto name = platform::PortName::OfNumber(port.number);
            AddSortedPort(list, {name ? name->Text() : "", port.device.string(), port.product,
                                 port.usb_serial});
        }
    }
    if (list.empty()) {
        AddFixedPorts(list, (places_.roots.dev / "ttyS0").string(),
                      (places_.roots.dev / "ttyS1").string());
    }
    return list;
}

}  // namespace dekvanto::core
