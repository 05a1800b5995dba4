#include "core/window/settings_session.h"

#include <utility>

namespace dekvanto::core {

SettingsSession::SettingsSession(SettingsDialog &rules, PortSource &ports,
                                 std::string program_directory)
    : rules_(rules), port_source_(ports), program_directory_(std::move(program_directory)) {}

SettingsDialogContents SettingsSession::Open() {
    ports_ = port_source_.ListPorts();
    return rules_.Open(PortNames(ports_));
}

bool SettingsSession::BrowseLoader(const FileChooser &choose) {
    const std::string chosen = choose(kLoaderFileDialog, program_directory_);
    if (chosen.empty()) {
        return false;
    }
    rules_.ChooseLoaderFile(chosen);
    return true;
}

void SettingsSession::Ok(const CurrentSettings &chosen) {
    const SettingsDialogOutcome outcome = rules_.Ok(chosen, PortNames(ports_));
    if (outcome.typed_port) {
        port_source_.RegisterTypedPort(*outcome.typed_port);
    }
}

}  // namespace dekvanto::core
