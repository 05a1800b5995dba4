#include "core/records/file_digest.h"

#include <vector>

#include "core/files/read_only_file.h"
#include "core/products/file_records.h"
#include "core/records/sha256.h"

namespace dekvanto::core {
namespace {

constexpr std::size_t kDigestPiece = 64 * 1024;

}  // namespace

std::optional<FileDigest> DigestFile(const std::string &path) {
    auto file = ReadOnlyFile::Open(path);
    if (!file) {
        return std::nullopt;
    }
    const std::optional<FileStatus> status = file->Status();
    if (!status) {
        return std::nullopt;
    }
    Sha256 sha256;
    uint16_t sum = 0;
    int64_t size = 0;
    std::vector<uint8_t> piece(kDigestPiece);
    for (;;) {
        const std::size_t got = file->ReadUpTo(piece.data(), piece.size());
        const std::span<const uint8_t> bytes(piece.data(), got);
        sha256.Add(bytes);
        sum = AddToByteSum(sum, bytes);
        size += static_cast<int64_t>(got);
        if (got < piece.size()) {
            break;
        }
    }
    std::optional<std::string> digest = sha256.HexDigest();
    if (size != status->size || !digest) {
        return std::nullopt;
    }
    return FileDigest{size, static_cast<uint16_t>(0xFFFF - sum), std::move(*digest)};
}

}  // namespace dekvanto::core
