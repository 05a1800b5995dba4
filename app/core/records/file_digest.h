// What a unit record says of each file sent: its size, the checksum as the main window shows it
// and its SHA-256, all from one reading of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dekvanto::core {

struct FileDigest {
    int64_t size = 0;
    uint16_t sum16 = 0;  // Sum16 of the contents (file_records.h)
    std::string sha256;  // 64 lower-case hexadecimal digits
};

// Reads the file at path once, piece by piece. Nothing when it does not open (only regular
// files do), when fewer bytes could be read than its status gave (it changed or a read failed),
// or when the digest library failed.
std::optional<FileDigest> DigestFile(const std::string &path);

}  // namespace dekvanto::core
