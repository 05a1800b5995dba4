#include <memory>

#include "core/private_profile_store.h"
#include "core/settings_file.h"

namespace dekvanto::app {

std::unique_ptr<SettingsStore> OpenSettingsFile(const std::filesystem::path &path) {
    return std::make_unique<PrivateProfileStore>(path);
}

}  // namespace dekvanto::app
