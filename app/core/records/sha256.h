// The SHA-256 digest of a stream of bytes, as a unit record proves which firmware a phone got.
// It comes from the system's cryptographic library (platform/sha256_hash.h); this class gives it
// as the record writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "dekvanto/platform/sha256_hash.h"

namespace dekvanto::core {

class Sha256 {
  public:
    // Adds the next bytes of the stream.
    void Add(std::span<const uint8_t> bytes) { hash_.Add(bytes); }
    // The digest of everything added, as 64 lower-case hexadecimal digits; nothing when the
    // library failed at any step. Ends the stream: call it once.
    std::optional<std::string> HexDigest();

  private:
    platform::Sha256Hash hash_;
};

}  // namespace dekvanto::core
