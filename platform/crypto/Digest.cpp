#include "platform/crypto/Digest.hpp"

#include "platform/crypto/OpenSsl.hpp"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>

namespace kestrava::crypto {
namespace {

using Mac = openssl::Owned<EVP_MAC, EVP_MAC_free>;
using MacContext = openssl::Owned<EVP_MAC_CTX, EVP_MAC_CTX_free>;
using Kdf = openssl::Owned<EVP_KDF, EVP_KDF_free>;
using KdfContext = openssl::Owned<EVP_KDF_CTX, EVP_KDF_CTX_free>;

// OpenSSL only reads input parameters, though their types are not const.
OSSL_PARAM sha256Digest(const char* name) {
    return OSSL_PARAM_construct_utf8_string(name, const_cast<char*>("SHA256"), 0);
}

OSSL_PARAM inputOctets(const char* name, ByteView bytes) {
    return OSSL_PARAM_construct_octet_string(name, const_cast<unsigned char*>(openssl::dataOf(bytes)),
                                             bytes.size());
}

} // namespace

Sha256Digest sha256(ByteView data) {
    openssl::ErrorScope errors;
    Sha256Digest digest{};
    unsigned int size = 0;
    openssl::check(EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_sha256(), nullptr));
    if (size != digest.size()) {
        openssl::fail();
    }
    return digest;
}

Sha256Digest hmacSha256(ByteView key, ByteView message) {
    openssl::ErrorScope errors;
    const Mac mac(openssl::check(EVP_MAC_fetch(nullptr, "HMAC", nullptr)));
    const MacContext context(openssl::check(EVP_MAC_CTX_new(mac.get())));
    const OSSL_PARAM params[] = {
        sha256Digest(OSSL_MAC_PARAM_DIGEST),
        OSSL_PARAM_construct_end(),
    };
    openssl::check(EVP_MAC_init(context.get(), openssl::dataOf(key), key.size(), params));
    openssl::check(EVP_MAC_update(context.get(), message.data(), message.size()));
    Sha256Digest code{};
    std::size_t size = 0;
    openssl::check(EVP_MAC_final(context.get(), code.data(), &size, code.size()));
    if (size != code.size()) {
        openssl::fail();
    }
    return code;
}

bool isValidHmacSha256(ByteView code, ByteView message, ByteView key) {
    if (code.size() != Sha256Digest{}.size()) {
        return false;
    }
    const Sha256Digest expected = hmacSha256(key, message);
    return CRYPTO_memcmp(code.data(), expected.data(), expected.size()) == 0;
}

Bytes hkdfSha256(ByteView inputKeyMaterial, ByteView salt, ByteView info, std::size_t length) {
    openssl::ErrorScope errors;
    const Kdf kdf(openssl::check(EVP_KDF_fetch(nullptr, "HKDF", nullptr)));
    const KdfContext context(openssl::check(EVP_KDF_CTX_new(kdf.get())));
    // An empty salt stands for HashLen zero bytes.
    static constexpr Sha256Digest zeroSalt{};
    const ByteView usedSalt = salt.empty() ? ByteView(zeroSalt) : salt;
    const OSSL_PARAM params[] = {
        sha256Digest(OSSL_KDF_PARAM_DIGEST),
        inputOctets(OSSL_KDF_PARAM_KEY, inputKeyMaterial),
        inputOctets(OSSL_KDF_PARAM_SALT, usedSalt),
        inputOctets(OSSL_KDF_PARAM_INFO, info),
        OSSL_PARAM_construct_end(),
    };
    Bytes output(length);
    openssl::check(EVP_KDF_derive(context.get(), output.data(), output.size(), params));
    return output;
}

bool constantTimeEqual(ByteView a, ByteView b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace kestrava::crypto
