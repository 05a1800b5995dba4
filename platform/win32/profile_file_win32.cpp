#include <windows.h>

#include "dekvanto/platform/profile_file.h"

namespace dekvanto::platform {
namespace {

constexpr DWORD kFirstBufferSize = 256;
constexpr DWORD kLargestBufferSize = 1u << 20;

}  // namespace

std::string ReadProfileText(const std::string &file, const std::string &section,
                            const std::string &key, const char *fallback) {
    // GetPrivateProfileStringA into a buffer that grows until the whole value fits.
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

int32_t ReadProfileInt(const std::string &file, const std::string &section, const std::string &key,
                       int32_t fallback) {
    const UINT value =
        ::GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, file.c_str());
    return static_cast<int32_t>(value);
}

void WriteProfileText(const std::string &file, const std::string &section, const std::string &key,
                      const std::string &value) {
    ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

bool MarkedReadOnly(const std::string &file) {
    const DWORD attributes = ::GetFileAttributesA(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace dekvanto::platform
