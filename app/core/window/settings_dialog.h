// The rules of the Settings dialog, without its widgets: what it shows when it opens, what its
// loader "B&rowse..." does, and what OK and Cancel change. A front end draws the controls, hands
// their values over at OK, and reads the changed flag afterwards (when set, the main window
// resets the product choice to "None").
//
// The dialog never shows a message. Nothing is written at Cancel; a loader file chosen with
// "B&rowse..." is only kept by OK (and reaches "LoadFilePath" only at the next path save or
// product choice).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/products/file_records.h"
#include "core/settings/current_settings.h"
#include "core/settings/setting_values.h"
#include "core/settings/settings_store.h"

namespace dekvanto::core {

// The list position to select for a setting: the setting itself when it is a position of a list
// of count entries, else -1 (no selection). A list left without selection gives -1 back at OK.
int ListSelection(int32_t setting, std::size_t count);

// How the loader path is compared at OK. On a case-sensitive file system two spellings name two
// files, so the path is compared and kept as typed; where names ignore case, the paths are
// compared in lower case and the lower-case form is kept.
enum class LoaderPathCase { kAsTyped, kLowerCase };
#if defined(_WIN32)
inline constexpr LoaderPathCase kPlatformLoaderPathCase = LoaderPathCase::kLowerCase;
#else
inline constexpr LoaderPathCase kPlatformLoaderPathCase = LoaderPathCase::kAsTyped;
#endif

// What the dialog's controls show when it opens.
struct SettingsDialogContents {
    int port_selection = -1;  // position in the port list; -1: no selection, empty field
    int speed = -1;
    int parity = -1;
    int stop_bits = -1;
    int data_bits = -1;
    int wait_states = -1;
    int ram_size = -1;
    bool acknowledge = false;
    bool pause = false;
    std::string loader_path;       // "Name:"
    std::string loader_size_text;  // "Size:"
};

// What OK did beyond the settings.
struct SettingsDialogOutcome {
    // A typed "COM<n>" that no list entry begins with: it became the port name. A platform with
    // a system port register adds it there; on POSIX nothing is written for it.
    std::optional<std::string> typed_port;
};

class SettingsDialog {
  public:
    // Works on the program's current settings and loader record; writes go to store.
    SettingsDialog(CurrentSettings &current, LoaderFileRecord &loader, SettingsStore &store,
                   LoaderPathCase path_case = kPlatformLoaderPathCase);

    // Opening with the port list's entry texts in the order the list shows them. Clears the
    // changed flag, takes copies of the bus width, the wait states and the loader path, and
    // selects the first port entry beginning with the current port name (ignoring case).
    SettingsDialogContents Open(const std::vector<std::string> &ports);

    // "B&rowse...": the chosen file becomes the loader path being edited (its full path). When
    // it opens, the shown size becomes its size; otherwise the shown size stays. Returns the new
    // "Size:" text.
    const std::string &ChooseLoaderFile(const std::string &chosen);

    // OK with the controls' values: chosen.port_name is the port box's text, every index the
    // list's position (-1 without selection), the flags 0 or 1; ports as given to Open.
    //  - An empty port text keeps the previous port name. Any other text stays when an entry
    //    begins with it (ignoring case); else a text reading as "COM" plus a number becomes the
    //    port name (see SettingsDialogOutcome), and any other text is dropped for the previous
    //    port name.
    //  - Writes the settings in their order (WriteCurrentSettings).
    //  - Sets the changed flag when the loader path, the bus width or the wait states differ.
    //  - The edited loader path becomes the current one, and its size and size text are taken
    //    from the file when it opens (else they stay).
    SettingsDialogOutcome Ok(const CurrentSettings &chosen, const std::vector<std::string> &ports);

    // Cancel, Esc or the close box: clears the changed flag; nothing else changes.
    void Cancel();

    // After closing: 1 when OK changed the loader file, the bus width or the wait states.
    bool Changed() const { return changed_; }
    // While open: the loader path being edited and the shown loader size text.
    const std::string &EditedLoaderPath() const { return edited_loader_path_; }
    const std::string &ShownLoaderSizeText() const { return shown_loader_size_text_; }

  private:
    bool LoaderPathDiffers() const;
    void TakeLoaderFile();

    CurrentSettings &current_;
    LoaderFileRecord &loader_;
    SettingsStore &store_;
    LoaderPathCase path_case_;
    bool changed_ = false;
    std::string edited_loader_path_;
    std::string shown_loader_size_text_;
};

}  // namespace dekvanto::core
