#include <string>
#include <system_error>

#include "core/settings/ini_text.h"
#include "core/settings/private_profile_store.h"
#include "dekvanto/platform/profile_file.h"

namespace dekvanto::core {

PrivateProfileStore::PrivateProfileStore(const std::filesystem::path &path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    path_ = (error ? path : absolute).string();
}

std::string PrivateProfileStore::ReadText(std::string_view section, std::string_view key,
                                          std::string_view fallback) {
    const std::string s(section);
    const std::string k(key);
    std::string value = platform::ReadProfileText(path_, s, k, "");
    if (!value.empty()) {
        return value;
    }
    // Empty: a key with an empty value, or no key. Only a missing key gives back a default that
    // is not empty.
    if (platform::ReadProfileText(path_, s, k, "-") == "-") {
        return std::string(fallback);
    }
    return value;
}

int32_t PrivateProfileStore::ReadInt(std::string_view section, std::string_view key,
                                     int32_t fallback) {
    return platform::ReadProfileInt(path_, std::string(section), std::string(key), fallback);
}

void PrivateProfileStore::WriteText(std::string_view section, std::string_view key,
                                    std::string_view value) {
    // A file marked read-only keeps its contents. Windows refuses the write by itself; Wine run
    // by the superuser would write it anyway, since it keeps the mark only as missing write
    // permission.
    if (!IsStorableIniName(section, true) || !IsStorableIniName(key, false) ||
        !IsStorableIniValue(value) || platform::MarkedReadOnly(path_)) {
        return;
    }
    platform::WriteProfileText(path_, std::string(section), std::string(key),
                               IniStoredValue(value));
}

void PrivateProfileStore::WriteInt(std::string_view section, std::string_view key, int32_t value) {
    WriteText(section, key, std::to_string(value));
}

}  // namespace dekvanto::core
