// The settings store of Windows: the system's private-profile calls on one INI file
// (GetPrivateProfileStringA, GetPrivateProfileIntA, WritePrivateProfileStringA).
//
// Every call names the file by its full path; the system keeps no handle between calls, so each
// write reaches the file at once and a hand edit counts at the next read. The format is the one
// ini_text.h describes, and the store keeps the rules of IniFile where the calls alone would not:
// - a key that is present with an empty value reads as "" (not as the fallback);
// - a value that would not read back as itself (spaces or tabs at an end, matching outer quotes)
//   is written inside double quotes, which reading removes again;
// - a section, key or value that cannot be stored on one line (a line break, a NUL, '=' in a
//   key, ']' in a section, see IsStorableIniName) is not written at all: the calls would write it
//   raw and break the lines after it.
// - a file marked read-only is not written (as on Windows, also where the process could write it).
// Writes that fail (a read-only file, no rights, a full disk) are lost without a message.
#pragma once

#include <filesystem>
#include <string>

#include "core/settings/settings_store.h"

namespace dekvanto::core {

class PrivateProfileStore final : public SettingsStore {
  public:
    // path: the settings file; made absolute here (a bare name would send the calls to the
    // Windows folder).
    explicit PrivateProfileStore(const std::filesystem::path &path);

    const std::string &Path() const { return path_; }

    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view fallback) override;
    // GetPrivateProfileIntA: fallback when the key is missing or empty.
    int32_t ReadInt(std::string_view section, std::string_view key, int32_t fallback) override;
    void WriteText(std::string_view section, std::string_view key, std::string_view value) override;
    // Stored as signed decimal text, as "%d" writes it.
    void WriteInt(std::string_view section, std::string_view key, int32_t value) override;

  private:
    std::string path_;
};

}  // namespace dekvanto::core
