// The program directory and every file that DEKVANTO finds by itself.
//
// All of them are named from the directory of the running program file, never from the working
// directory, so a program started from anywhere (a shortcut, another shell folder) finds the
// same files:
//   engine library   <program directory>/libDLL_MX40.so (DLL_MX40.DLL on Windows)
//   product list     <program directory>/dekvanto.cfg
//   version file     <program directory>/DEKVANTO.VRS
//   product loaders  <program directory>/<loader file name of the product>
//
// The settings file "MX40.ini" lies beside the program too when the user may write into the
// program directory (a build folder, an unpacked bundle; for root, only a folder that root owns).
// A system-wide install (a directory only the administrator writes, or any folder under /usr but
// /usr/local, such as the package's /usr/lib/dekvanto, even for root) keeps each user's settings
// in ${XDG_CONFIG_HOME:-$HOME/.config}/dekvanto/MX40.ini instead; a relative XDG_CONFIG_HOME is
// ignored, as the desktop conventions ask. Without HOME either, the file stays beside the program
// (its writes are then lost silently, like any settings write that cannot reach the disk); but
// root (a service started without HOME) takes the home folder the password database gives it,
// usually /root, and never writes beside a program the package manager installed: without that
// home it has no settings file at all (an empty path: every setting reads as its default, and
// writes are lost). On Windows "MX40.ini" always lies beside the program.
//
// The settings folder is made at start-up where it is missing, but root makes none in another
// user's folder (started with that user's HOME): root's folder there would keep the user's own
// program from saving its settings. Root's writes into such a folder are refused too
// (whole_file.h), so they are lost like any other settings write that cannot reach the disk.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace dekvanto::core {

inline constexpr const char *kSettingsFileName = "MX40.ini";
inline constexpr const char *kProductListFileName = "dekvanto.cfg";
inline constexpr const char *kVersionFileName = "DEKVANTO.VRS";

struct ProgramFiles {
    // The program directory, absolute. Its text form (ProgramDirectoryText) ends with a separator.
    std::filesystem::path directory;
    std::filesystem::path settings_file;
    std::filesystem::path engine_library;
    std::filesystem::path product_list;
    std::filesystem::path version_file;

    // The directory as text ending with the separator, for building paths by concatenation.
    std::string ProgramDirectoryText() const;
    // A product's loader file: the loader file name taken in the program directory, joined with
    // the platform's separator rules (PathInFolder).
    std::filesystem::path LoaderFile(const std::string &loader_file_name) const;
};

// What the settings file location depends on, so that it can be decided without the real
// environment: whether the program directory is writable by this user, and the environment.
struct SettingsPlace {
    bool program_directory_writable = false;
    std::optional<std::string> xdg_config_home;
    std::optional<std::string> home;
    // The process runs as root (effective user 0).
    bool administrator = false;
    // Root's home folder from the password database (only looked up for root).
    std::optional<std::string> account_home{};
};

// The files of the running program (platform::RunningProgramDirectory), with the settings file
// placed as this machine decides; the working directory stands for the program directory when
// that cannot be found out.
ProgramFiles FilesOfRunningProgram();

// The files named from program directory dir, with the settings file placed by place.
ProgramFiles FilesOfProgramDirectory(const std::filesystem::path &dir, const SettingsPlace &place);

// The settings file's full path for program directory dir (see above).
std::filesystem::path SettingsFileFor(const std::filesystem::path &dir, const SettingsPlace &place);

// The facts of this machine and process for program directory dir: access(2) for writing (a
// folder under /usr but /usr/local never counts as writable, nor for root a folder that another
// user owns), the variables XDG_CONFIG_HOME and HOME, and for root its home from the password
// database. On Windows: writable, so the file lies beside the program.
SettingsPlace ObserveSettingsPlace(const std::filesystem::path &dir);

// Creates the settings file's folder when it is missing (the user's configuration folder at the
// first start), but as root none inside another user's folder. Failures are ignored: a settings
// write that cannot reach the disk is lost quietly.
void PrepareSettingsFolder(const ProgramFiles &files);

}  // namespace dekvanto::core
