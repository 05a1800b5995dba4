// The SHA-256 digest of a stream of bytes, as a unit record proves which firmware a phone got.
// It comes from the system's cryptographic library (libcrypto on Linux, CNG on Windows), which
// is kept and checked by others; it is never computed here.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace dekvanto::core {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    // Adds the next bytes of the stream.
    void Add(std::span<const uint8_t> bytes);
    // The digest of everything added, as 64 lower-case hexadecimal digits; nothing when the
    // library failed at any step. Ends the stream: call it once.
    std::optional<std::string> HexDigest();

  private:
    struct State;
    // The 32 bytes of the digest, or nothing when the library failed.
    std::optional<std::array<uint8_t, 32>> Finish();

    std::unique_ptr<State> state_;
};

}  // namespace dekvanto::core
