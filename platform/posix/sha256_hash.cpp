// SHA-256 through libcrypto's message digest interface.
#include "dekvanto/platform/sha256_hash.h"

#include <openssl/evp.h>

namespace dekvanto::platform {

struct Sha256Hash::State {
    EVP_MD_CTX *context = nullptr;
    bool good = false;
};

Sha256Hash::Sha256Hash() : state_(std::make_unique<State>()) {
    state_->context = EVP_MD_CTX_new();
    state_->good = state_->context != nullptr &&
                   EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) == 1;
}

Sha256Hash::~Sha256Hash() {
    EVP_MD_CTX_free(state_->context);
}

void Sha256Hash::Add(std::span<const uint8_t> bytes) {
    if (state_->good && !bytes.empty()) {
        state_->good = EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) == 1;
    }
}

std::optional<std::array<uint8_t, 32>> Sha256Hash::Finish() {
    std::array<uint8_t, 32> digest{};
    unsigned int length = 0;
    if (!state_->good || EVP_DigestFinal_ex(state_->context, digest.data(), &length) != 1 ||
        length != digest.size()) {
        state_->good = false;
        return std::nullopt;
    }
    state_->good = false;
    return digest;
}

}  // namespace dekvanto::platform
