#include "core/settings/private_profile_store.h"

#include <windows.h>

#include <string>
#include <system_error>

#include "core/settings/ini_text.h"

namespace dekvanto::core {
namespace {

constexpr DWORD kFirstBufferSize = 256;
constexpr DWORD kLargestBufferSize = 1u << 20;

// GetPrivateProfileStringA into a buffer that grows until the whole value fits.
std::string ProfileString(const std::string &section, const std::string &key, const char *fallback,
                          const std::string &file) {
    for (DWORD size = kFirstBufferSize;; size *= 2) {
        std::string buffer(size, '\0');
        const DWORD got = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback,
                                                     buffer.data(), size, file.c_str());
        // A value that did not fit comes back cut to size - 1 characters.
        if (got + 1 < size || size >= kLargestBufferSize) {
            buffer.resize(got);
            return buffer;
        }
    }
}

// A file marked read-only keeps its contents. Windows refuses the write by itself; Wine run by
// the superuser would write it anyway, since it keeps the mark only as missing write permission.
bool MarkedReadOnly(const std::string &file) {
    const DWORD attributes = ::GetFileAttributesA(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

PrivateProfileStore::PrivateProfileStore(const std::filesystem::path &path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    path_ = (error ? path : absolute).string();
}

std::string PrivateProfileStore::ReadText(std::string_view section, std::string_view key,
                                          std::string_view fallback) {
    const std::string s(section);
    const std::string k(key);
    std::string value = ProfileString(s, k, "", path_);
    if (!value.empty()) {
        return value;
    }
    // Empty: a key with an empty value, or no key. Only a missing key gives back a default that
    // is not empty.
    if (ProfileString(s, k, "-", path_) == "-") {
        return std::string(fallback);
    }
    return value;
}

int32_t PrivateProfileStore::ReadInt(std::string_view section, std::string_view key,
                                     int32_t fallback) {
    const UINT value = ::GetPrivateProfileIntA(std::string(section).c_str(),
                                               std::string(key).c_str(), fallback, path_.c_str());
    return static_cast<int32_t>(value);
}

void PrivateProfileStore::WriteText(std::string_view section, std::string_view key,
                                    std::string_view value) {
    if (!IsStorableIniName(section, true) || !IsStorableIniName(key, false) ||
        !IsStorableIniValue(value) || MarkedReadOnly(path_)) {
        return;
    }
    ::WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                 IniStoredValue(value).c_str(), path_.c_str());
}

void PrivateProfileStore::WriteInt(std::string_view section, std::string_view key, int32_t value) {
    WriteText(section, key, std::to_string(value));
}

}  // namespace dekvanto::core
