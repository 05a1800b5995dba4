#include "control_rig.h"

#include <stdexcept>

namespace dekvanto::core {

ControlRig::ControlRig(dekvanto::testing::SampleSizes sizes)
    : DownloadRig(sizes),
      engine(EngineLibrary::Load(DEKVANTO_ENGINE_LIBRARY)),
      store(folder.Write("MX40.ini", "[Setting]\r\nRebootDelay=0\r\n")) {
    if (engine == nullptr) {
        throw std::runtime_error("the engine library did not load: " DEKVANTO_ENGINE_LIBRARY);
    }
    file_records.loader.path = files.loader.string();
    file_records.code.path = files.code.string();
    file_records.perso.path = files.perso.string();
    switches.code = !files.code.empty();
    switches.perso = !files.perso.empty();
    if (!file_records.SummariseLoaderFile() ||
        (switches.code && !file_records.SummariseCodeFile()) ||
        (switches.perso && !file_records.SummarisePersoFile())) {
        throw std::runtime_error("the sample files did not open");
    }
    settings.acknowledge = 1;
    control =
        std::make_unique<DownloadControl>(*engine, view, settings, file_records, switches, store);
}

dekvanto::testing::PhoneRun ControlRig::PressStart() {
    return RunAttempt([this](dekvanto::sim::PhoneSimulator &phone) {
        port = "COM" + std::to_string(phone.PortNumber());
        settings.port_name = port;
        control->OnStartStop();
    });
}

}  // namespace dekvanto::core
