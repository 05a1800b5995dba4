// DEKVANTO.EXE as the user meets it: installed in a folder of its own with the engine library and
// the files it reads, started from somewhere else, and its windows found among the desktop's.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace dekvanto::dialog_test {

// A Unix path as Windows programs under Wine reach it (drive Z: is the Unix root).
std::string WindowsPathOf(const std::string &unix_path);
// An environment variable, or "" when it is not set.
std::string Environment(const char *name);

// A fresh program folder: DEKVANTO.EXE and DLL_MX40.DLL from beside this driver, a product list
// of two models ("VANTO 16 bits" takes a personalization file, "VANTO 8 bits lite" does not), their
// loader and a version file of version text A-000-01-00. Removed at the end.
class ProgramFolder {
  public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    std::filesystem::path SettingsFile() const { return path_ / "MX40.ini"; }
    // Writes the settings file whole (before the program starts).
    void WriteSettings(const std::string &text) const;
    // One key of the settings file as the private-profile calls read it ("" when absent).
    std::string Setting(const char *section, const char *key) const;

  private:
    std::filesystem::path path_;
};

class RunningDekvanto {
  public:
    // Starts folder's DEKVANTO.EXE with another working directory and waits for its main window
    // (null when none came: the checks then fail on it).
    explicit RunningDekvanto(const ProgramFolder &folder);
    // Ends the program if it still runs.
    ~RunningDekvanto();
    RunningDekvanto(const RunningDekvanto &) = delete;
    RunningDekvanto &operator=(const RunningDekvanto &) = delete;

    HWND Main() const { return main_; }
    // A dialog or message box of the program's with this caption, owned by the main window;
    // waits for it (null when none came).
    HWND WaitForOwnedWindow(const std::string &caption) const;
    // Whether such a window is open now.
    HWND FindOwnedWindow(const std::string &caption) const;
    // Any dialog or message box owned by the main window, or null.
    HWND FindAnyOwnedWindow() const;
    // True when the process has ended within timeout_ms; its exit code in exit_code.
    bool WaitForExit(DWORD timeout_ms, DWORD *exit_code = nullptr) const;

  private:
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

// The caption of DEKVANTO's message boxes: the program's name.
inline constexpr const char *kBoxCaption = "DEKVANTO";

// The text a message box shows (its static texts, joined).
std::string MessageBoxText(HWND box);

}  // namespace dekvanto::dialog_test
