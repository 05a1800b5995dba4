// The settings as one run of the tool sees them: the keys of a settings file (or none), with the
// values given on the command line laid over them. Nothing reaches the file: a scripted download
// must not change what the window shows at its next start. Writes (a product choice stores its
// values) stay in this object for the run.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "core/settings/settings_store.h"

namespace dekvanto::core {

class OverlayStore final : public SettingsStore {
  public:
    // file: the settings file's store, or null for defaults only.
    explicit OverlayStore(std::unique_ptr<SettingsStore> file = nullptr) : file_(std::move(file)) {}

    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view fallback) override;
    int32_t ReadInt(std::string_view section, std::string_view key, int32_t fallback) override;
    void WriteText(std::string_view section, std::string_view key, std::string_view value) override;
    void WriteInt(std::string_view section, std::string_view key, int32_t value) override;

  private:
    // Section and key in lower case: names match without regard to case, as in the file.
    static std::string Name(std::string_view section, std::string_view key);

    std::unique_ptr<SettingsStore> file_;
    std::map<std::string, std::string> texts_;
    std::map<std::string, int32_t> integers_;
};

}  // namespace dekvanto::core
