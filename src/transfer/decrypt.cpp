#include "transfer/decrypt.h"

#include <mbedtls/base64.h>
#include <mbedtls/gcm.h>
#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>
#include <mbedtls/platform_util.h>

namespace transfer::crypto {
namespace {

constexpr size_t kSaltBytes = 16, kNonceBytes = 16, kTagBytes = 16, kKeyBytes = 32;

// Wipes a key when it goes out of scope.
struct Key {
    unsigned char bytes[kKeyBytes] = {};
    ~Key() { mbedtls_platform_zeroize(bytes, sizeof bytes); }
};

bool DeriveKey(const std::string& password, const unsigned char* salt, std::uint32_t iterations, Key& key) {
    mbedtls_md_context_t md;
    mbedtls_md_init(&md);
    bool ok = mbedtls_md_setup(&md, mbedtls_md_info_from_type(MBEDTLS_MD_SHA1), 1) == 0 &&
              mbedtls_pkcs5_pbkdf2_hmac(&md, reinterpret_cast<const unsigned char*>(password.data()), password.size(),
                                        salt, kSaltBytes, iterations, kKeyBytes, key.bytes) == 0;
    mbedtls_md_free(&md);
    return ok;
}

}  // namespace

bool DecodeBase64(std::string_view text, std::vector<std::uint8_t>& out) {
    const auto* source = reinterpret_cast<const unsigned char*>(text.data());
    size_t length = 0;
    int rc = mbedtls_base64_decode(nullptr, 0, &length, source, text.size());
    if (rc != 0 && rc != MBEDTLS_ERR_BASE64_BUFFER_TOO_SMALL) return false;
    std::vector<std::uint8_t> bytes(length);
    if (mbedtls_base64_decode(bytes.data(), bytes.size(), &length, source, text.size()) != 0) return false;
    bytes.resize(length);
    out = std::move(bytes);
    return true;
}

Decrypted DecryptText(std::string_view base64, const std::string& passwordUtf8, std::uint32_t iterations,
                      std::string& plain) {
    std::vector<std::uint8_t> bytes;
    if (!DecodeBase64(base64, bytes) || bytes.size() < kSaltBytes + kNonceBytes + kTagBytes) {
        return Decrypted::kNotBase64;
    }
    const unsigned char* salt = bytes.data();
    const unsigned char* nonce = salt + kSaltBytes;
    const unsigned char* cipher = nonce + kNonceBytes;
    const size_t cipherBytes = bytes.size() - kSaltBytes - kNonceBytes - kTagBytes;
    const unsigned char* tag = cipher + cipherBytes;

    Key key;
    if (!DeriveKey(passwordUtf8, salt, iterations, key)) return Decrypted::kWrongKey;
    std::string text(cipherBytes, '\0');
    mbedtls_gcm_context gcm;
    mbedtls_gcm_init(&gcm);
    bool ok = mbedtls_gcm_setkey(&gcm, MBEDTLS_CIPHER_ID_AES, key.bytes, kKeyBytes * 8) == 0 &&
              mbedtls_gcm_auth_decrypt(&gcm, cipherBytes, nonce, kNonceBytes, salt, kSaltBytes, tag, kTagBytes, cipher,
                                       reinterpret_cast<unsigned char*>(text.data())) == 0;
    mbedtls_gcm_free(&gcm);
    if (!ok) return Decrypted::kWrongKey;
    plain = std::move(text);
    return Decrypted::kOk;
}

}  // namespace transfer::crypto
