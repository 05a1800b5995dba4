// The current settings: port, line and memory target settings and the two debug options, read
// from the settings file once at start and held in memory for the whole run. The Settings dialog
// changes them (and writes them) at OK; choosing a product changes the bus width and the wait
// states; every download takes its records from them.
//
// The index settings are positions in the Settings dialog's lists (setting_values.h; 0 = first
// entry; -1 when a list had no selection at OK). They are passed to the engine unchanged, never
// range-tested.
#pragma once

#include <cstdint>
#include <string>

#include "core/settings/settings_store.h"

namespace dekvanto::core {

struct CurrentSettings {
    std::string port_name = "COM1";  // "Setting"/"COM"
    int32_t speed = 1;               // "Setting"/"Speed": 57600, 115200, 230400, 460800 bit/s
    int32_t parity = 0;              // "Setting"/"Parity": none, odd, even
    int32_t stop_bits = 0;           // "Setting"/"StopBit": one, two
    int32_t data_bits = 0;           // "Setting"/"BitChar": 8 bits; kept, never sent
    int32_t ram_size = 0;            // "Setting"/"RamSize": bus 8 or 16 bits
    int32_t wait_states = 0;         // "Setting"/"RamWaitState": 0 to 3
    int32_t acknowledge = 0;         // "Debug"/"Acknowledge": acknowledged mode
    int32_t pause = 0;               // "Debug"/"Pause": step mode

    bool operator==(const CurrentSettings &) const = default;
};

// Reads the keys in the program's order: "StopBit", "BitChar", "Parity", "COM", "Speed",
// "RamSize", "RamWaitState" from "Setting", then "Acknowledge" and "Pause" from "Debug". Absent
// keys give the defaults above.
CurrentSettings ReadCurrentSettings(SettingsStore &store);

// Writes the keys in the Settings dialog's OK order: "COM", "Speed", "Parity", "StopBit",
// "BitChar", "RamSize", "RamWaitState" in "Setting", then "Acknowledge" and "Pause" in "Debug".
void WriteCurrentSettings(SettingsStore &store, const CurrentSettings &settings);

}  // namespace dekvanto::core
