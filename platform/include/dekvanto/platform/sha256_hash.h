// SHA-256 from the system's cryptographic library (libcrypto on Linux, CNG on Windows), which is
// kept and checked by others; it is never computed here.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace dekvanto::platform {

class Sha256Hash {
  public:
    Sha256Hash();
    ~Sha256Hash();
    Sha256Hash(const Sha256Hash &) = delete;
    Sha256Hash &operator=(const Sha256Hash &) = delete;

    // Adds the next bytes of the stream.
    void Add(std::span<const uint8_t> bytes);
    // The 32 bytes of the digest of everything added, or nothing when the library failed at any
    // step. Ends the stream: call it once.
    std::optional<std::array<uint8_t, 32>> Finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace dekvanto::platform
