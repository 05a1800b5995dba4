// The main window "DEK VANTO" as the window model (main_window_model.h) sees it: controls known
// by a small set of identifiers that the model enables, checks and fills, the product box, the
// caption, the file dialogs and the Settings dialog. The Qt window and the Win32 dialog each map
// these to their controls; they decide nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/download_view.h"
#include "core/window/file_dialogs.h"
#include "core/window/settings_session.h"

namespace dekvanto::core {

// The controls of the main window that the model enables, checks or fills. Button 1, the byte
// counter, the progress bar and the log list are DownloadDisplay's.
enum class WindowControl {
    kCodeSwitch,    // check box "Download Binary Code File"
    kCodePath,      // read-only: code file path
    kCodeBrowse,    // "&Browse..." of the code file
    kCodeSize,      // read-only: code file size text
    kCodeChecksum,  // read-only: code file checksum text
    kPersoSwitch,   // check box "Download Binary Personalization File"
    kPersoPath,     // read-only: personalization file path
    kPersoBrowse,   // "&Browse..." of the personalization file
    kPersoSize,     // read-only: personalization file size text
    kProduct,       // the product box
    kPort,          // read-only "Com Port:"
    kProperties,    // "&Properties..." (the last one)
};
inline constexpr std::size_t kWindowControlCount =
    static_cast<std::size_t>(WindowControl::kProperties) + 1;

class MainWindowView : public DownloadDisplay {
  public:
    virtual void Enable(WindowControl control, bool on) = 0;
    // Checks or clears one of the two check boxes (kCodeSwitch, kPersoSwitch).
    virtual void SetChecked(WindowControl control, bool checked) = 0;
    // The text of a read-only box (kCodePath ... kPersoSize, kPort); not repainted until Repaint.
    virtual void SetText(WindowControl control, std::string_view text) = 0;

    // The product box's entries, replacing any it had, and its selected position.
    virtual void SetProductEntries(const std::vector<std::string> &entries) = 0;
    virtual void SelectProduct(int position) = 0;

    // The caption the window was made with (the window's template), and a new one.
    virtual std::string Caption() = 0;
    virtual void SetCaption(std::string_view caption) = 0;

    // A modal open-file dialog (see FileChooser).
    virtual std::string ChooseFile(const FileDialog &dialog, const std::string &folder) = 0;
    // Runs the Settings dialog modally over `session`; returns when it has closed.
    virtual void RunSettingsDialog(SettingsSession &session) = 0;
};

}  // namespace dekvanto::core
