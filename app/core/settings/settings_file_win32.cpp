#include <memory>

#include "core/settings/private_profile_store.h"
#include "core/settings/settings_file.h"

namespace dekvanto::core {

std::unique_ptr<SettingsStore> OpenSettingsFile(const std::filesystem::path &path) {
    return std::make_unique<PrivateProfileStore>(path);
}

}  // namespace dekvanto::core
