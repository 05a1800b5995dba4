// The system's private-profile calls on one INI file (Windows): GetPrivateProfileStringA,
// GetPrivateProfileIntA, WritePrivateProfileStringA. Every call names the file by its path; the
// system keeps no handle between calls. What may be stored, and how, is the caller's to decide.
#pragma once

#include <cstdint>
#include <string>

namespace dekvanto::platform {

// The value of key in section, whole however long (up to 1 MiB); fallback when the key is
// missing.
std::string ReadProfileText(const std::string &file, const std::string &section,
                            const std::string &key, const char *fallback);

// The key's value as a number; fallback when the key is missing or empty.
int32_t ReadProfileInt(const std::string &file, const std::string &section, const std::string &key,
                       int32_t fallback);

// Writes value as the key's in section, made where missing. Failures are lost.
void WriteProfileText(const std::string &file, const std::string &section, const std::string &key,
                      const std::string &value);

// Whether the file carries the read-only attribute.
bool MarkedReadOnly(const std::string &file);

}  // namespace dekvanto::platform
