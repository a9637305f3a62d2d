// The encrypted texts of a connections file: base64 of salt (16 bytes) | nonce (16) | ciphertext | tag (16),
// AES-256-GCM with the salt as associated data, under a key that is PBKDF2-HMAC-SHA1(master password, salt,
// iterations, 32 bytes). Through Mbed TLS. Internal to src/transfer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace transfer::crypto {

// Base64 (blanks and line breaks between its groups allowed) as bytes; false when it is not base64.
bool DecodeBase64(std::string_view text, std::vector<std::uint8_t>& out);

enum class Decrypted {
    kOk,
    kNotBase64,  // not base64, or too short to hold salt, nonce and tag
    kWrongKey,   // the tag does not match: another master password, or a damaged text
};
// Decrypts `base64` with `passwordUtf8` into `plain`.
Decrypted DecryptText(std::string_view base64, const std::string& passwordUtf8, std::uint32_t iterations,
                      std::string& plain);

}  // namespace transfer::crypto
