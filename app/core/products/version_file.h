// The version document: the release of an installation, described by the version file
// "DEKVANTO.VRS" beside the program. The program only reads it: once when the main window
// initialises (the release number goes into the window title) and at each opening of the About
// box (which shows the version text).
//
// The file holds three archive strings one after another (archive_string.h): the version text,
// then two texts that are carried but not used. The version text has four fields joined by '-'
// of 1, 3, 2 and 2 characters, for example A-000-12-07: the second field is the code ("000" for
// a regular release), the third the two characters of the release number.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace dekvanto::core {

enum class VersionLoad {
    kLoaded,     // the three strings are read (all empty for a file of 0 to 2 bytes)
    kNotLoaded,  // no directory given, or no version file there that can be opened
    kMalformed,  // the file ends inside one of its strings, or a prefix is invalid
};

class VersionDocument {
  public:
    // Looks for the version file in `program_directory` and loads it. An empty directory text
    // loads nothing. The file name is found without regard to letter case, as the system's file
    // search finds it on Windows; an exact match is taken first. Anything but kLoaded leaves the
    // three strings empty.
    VersionLoad FindAndLoad(const std::string &program_directory);

    // Loads the file at `path`: kNotLoaded when it cannot be opened or read.
    VersionLoad Load(const std::filesystem::path &path);

    // Loads the file's bytes: a file longer than 2 bytes must hold the three strings; bytes after
    // the third string are ignored.
    VersionLoad LoadBytes(std::string_view bytes);

    const std::string &VersionText() const { return version_text_; }
    const std::string &SecondText() const { return second_text_; }
    const std::string &ThirdText() const { return third_text_; }

  private:
    std::string version_text_;
    std::string second_text_;
    std::string third_text_;
};

// The bytes of a version file holding these three texts, as LoadBytes reads them back: what the
// build writes beside the program (the program itself never writes the file). Throws like
// AppendArchiveString.
std::string VersionFileBytes(std::string_view version_text, std::string_view second_text,
                             std::string_view third_text);

}  // namespace dekvanto::core
