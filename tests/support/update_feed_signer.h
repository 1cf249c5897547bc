#pragma once

#include <sodium.h>

#include <array>
#include <nlohmann/json.hpp>
#include <string>

#include "app/update_feed.h"

namespace zarvex::testing {

// A fresh Ed25519 key pair that signs update feed entries as a release would.
class UpdateFeedSigner {
  public:
    UpdateFeedSigner() {
        if (sodium_init() < 0) {
            throw std::runtime_error("libsodium did not start");
        }
        crypto_sign_keypair(public_.data(), secret_.data());
    }

    std::string publicKey() const { return base64(public_.data(), public_.size()); }

    nlohmann::json entry(const UpdateItem& item) const {
        const std::string message = signedMessage(item);
        std::array<unsigned char, crypto_sign_BYTES> signature{};
        crypto_sign_detached(signature.data(), nullptr,
                             reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                             secret_.data());
        return {{"version", item.version},
                {"build", item.build},
                {"notes", item.notes},
                {"url", item.url},
                {"signature", base64(signature.data(), signature.size())}};
    }

  private:
    static std::string base64(const unsigned char* data, std::size_t size) {
        std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
        sodium_bin2base64(text.data(), text.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
        text.resize(text.find('\0'));
        return text;
    }

    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> public_{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret_{};
};

}  // namespace zarvex::testing
