// One showing of the Settings dialog, as a front end's dialog window drives it: the port box
// filled afresh from the system's ports, the dialog's rules (settings_dialog.h) behind the
// controls, the loader file's "B&rowse...", and a typed "COM<n>" that OK accepts handed to the
// port source, which adds it to the system's port register where there is one.
#pragma once

#include <string>
#include <vector>

#include "core/ports/port_list.h"
#include "core/window/file_dialogs.h"
#include "core/window/settings_dialog.h"

namespace dekvanto::core {

class SettingsSession {
  public:
    // `program_directory`: where the loader file dialog starts.
    SettingsSession(SettingsDialog &rules, PortSource &ports, std::string program_directory);

    // Opening: lists the ports (Ports) and opens the rules with their names.
    SettingsDialogContents Open();
    // The ports of the port box, in the order it shows them (after Open).
    const std::vector<PortEntry> &Ports() const { return ports_; }

    // "B&rowse...": the loader file dialog in the program directory. True when a file was chosen:
    // the window then shows Rules().EditedLoaderPath() and Rules().ShownLoaderSizeText().
    bool BrowseLoader(const FileChooser &choose);

    // OK with the controls' values (SettingsDialog::Ok), then the typed port's registration.
    void Ok(const CurrentSettings &chosen);
    // Cancel, Escape or the close box.
    void Cancel() { rules_.Cancel(); }

    const SettingsDialog &Rules() const { return rules_; }

  private:
    SettingsDialog &rules_;
    PortSource &port_source_;
    std::string program_directory_;
    std::vector<PortEntry> ports_;
};

}  // namespace dekvanto::core
