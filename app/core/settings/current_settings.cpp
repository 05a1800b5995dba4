#include "core/settings/current_settings.h"

namespace dekvanto::core {
namespace {

constexpr std::string_view kSetting = "Setting";
constexpr std::string_view kDebug = "Debug";

}  // namespace

CurrentSettings ReadCurrentSettings(SettingsStore &store) {
    const CurrentSettings defaults;
    CurrentSettings settings;
    settings.stop_bits = store.ReadInt(kSetting, "StopBit", defaults.stop_bits);
    settings.data_bits = store.ReadInt(kSetting, "BitChar", defaults.data_bits);
    settings.parity = store.ReadInt(kSetting, "Parity", defaults.parity);
    settings.port_name = store.ReadText(kSetting, "COM", defaults.port_name);
    settings.speed = store.ReadInt(kSetting, "Speed", defaults.speed);
    settings.ram_size = store.ReadInt(kSetting, "RamSize", defaults.ram_size);
    settings.wait_states = store.ReadInt(kSetting, "RamWaitState", defaults.wait_states);
    settings.acknowledge = store.ReadInt(kDebug, "Acknowledge", defaults.acknowledge);
    settings.pause = store.ReadInt(kDebug, "Pause", defaults.pause);
    return settings;
}

void WriteCurrentSettings(SettingsStore &store, const CurrentSettings &settings) {
    store.WriteText(kSetting, "COM", settings.port_name);
    store.WriteInt(kSetting, "Speed", settings.speed);
    store.WriteInt(kSetting, "Parity", settings.parity);
    store.WriteInt(kSetting, "StopBit", settings.stop_bits);
    store.WriteInt(kSetting, "BitChar", settings.data_bits);
    store.WriteInt(kSetting, "RamSize", settings.ram_size);
    store.WriteInt(kSetting, "RamWaitState", settings.wait_states);
    store.WriteInt(kDebug, "Acknowledge", settings.acknowledge);
    store.WriteInt(kDebug, "Pause", settings.pause);
}

}  // namespace dekvanto::core
