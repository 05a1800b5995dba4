// SHA-256 through the system's Cryptography API: Next Generation (bcrypt.dll).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>

#include "dekvanto/platform/sha256_hash.h"

namespace dekvanto::platform {
namespace {

// BCryptHashData takes a ULONG count: larger spans go in pieces.
constexpr std::size_t kLargestPiece = 1u << 30;

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

}  // namespace

struct Sha256Hash::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool good = false;
};

Sha256Hash::Sha256Hash() : state_(std::make_unique<State>()) {
    state_->good =
        Succeeded(::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM,
                                                nullptr, 0)) &&
        Succeeded(::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256Hash::~Sha256Hash() {
    if (state_->hash != nullptr) {
        ::BCryptDestroyHash(state_->hash);
    }
    if (state_->algorithm != nullptr) {
        ::BCryptCloseAlgorithmProvider(state_->algorithm, 0);
    }
}

void Sha256Hash::Add(std::span<const uint8_t> bytes) {
    while (state_->good && !bytes.empty()) {
        const std::size_t piece = std::min(bytes.size(), kLargestPiece);
        state_->good = Succeeded(::BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes.data()),
                                                  static_cast<ULONG>(piece), 0));
        bytes = bytes.subspan(piece);
    }
}

std::optional<std::array<uint8_t, 32>> Sha256Hash::Finish() {
    std::array<uint8_t, 32> digest{};
    const bool good =
        state_->good && Succeeded(::BCryptFinishHash(state_->hash, digest.data(),
                                                     static_cast<ULONG>(digest.size()), 0));
    state_->good = false;
    if (!good) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace dekvanto::platform
