#include "core/records/sha256.h"

namespace dekvanto::core {

std::optional<std::string> Sha256::HexDigest() {
    const auto digest = hash_.Finish();
    if (!digest) {
        return std::nullopt;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest->size() * 2);
    for (const uint8_t byte : *digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace dekvanto::core
