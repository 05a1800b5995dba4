// The settings store over one INI file on the disk ("MX40.ini").
//
// Every read opens and reads the file afresh, so an edit made by hand while the program runs is
// seen at the next read (the download control reads "RebootDelay" at each start). The file's
// format and the rules of a read and a write are those of ini_text.h.
//
// A write reads the file, changes the one key and replaces the file as a whole through a
// temporary file in the same folder (whole_file.h), so that a crash or a full disk never leaves
// the settings truncated. A write whose value the file already holds leaves the file untouched.
// A write that fails (a read-only file, no rights, disk full, a name or a value that cannot be
// stored on one line, a file that exists but cannot be read, a link or a folder that the rules of
// whole_file.h refuse, such as root's write into a user's settings folder) is lost and the file
// stays as it was; the caller keeps its value in memory, and TakeUnsavedReason says why.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/settings/settings_store.h"

namespace dekvanto::core {

class IniFile final : public SettingsStore {
  public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path &Path() const { return path_; }

    // The stored text (outer quotes removed), or `fallback` when the file, the section or the
    // key is missing. A key that is present with an empty value gives "".
    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view fallback) override;
    // The stored value read as an integer (IniInteger), or `fallback` when the key is missing
    // or its value is empty.
    int32_t ReadInt(std::string_view section, std::string_view key, int32_t fallback) override;
    void WriteText(std::string_view section, std::string_view key, std::string_view value) override;
    // Stored as signed decimal text, as "%d" writes it.
    void WriteInt(std::string_view section, std::string_view key, int32_t value) override;
    std::optional<std::string> TakeUnsavedReason() override;

  private:
    void Unsaved(const std::string &reason);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    std::filesystem::path path_;
    std::optional<std::string> unsaved_;
};

}  // namespace dekvanto::core
