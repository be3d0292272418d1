#include "platform/crypto/AesGcm.hpp"

#include "platform/crypto/OpenSsl.hpp"
#include "platform/crypto/Random.hpp"

#include <openssl/evp.h>

namespace kestrava::crypto::AesGcm {
namespace {

using CipherContext = openssl::Owned<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>;

CipherContext newContext() {
    return CipherContext(openssl::check(EVP_CIPHER_CTX_new()));
}

} // namespace

Bytes seal(const SymmetricKey& key, ByteView plaintext, ByteView associatedData) {
    openssl::ErrorScope errors;
    Bytes combined(nonceSize + plaintext.size() + tagSize);
    const std::span<std::uint8_t> nonce(combined.data(), nonceSize);
    fillRandom(nonce);
    std::uint8_t* const ciphertext = combined.data() + nonceSize;

    const CipherContext context = newContext();
    openssl::check(EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce.data()));
    int written = 0;
    openssl::check(EVP_EncryptUpdate(context.get(), nullptr, &written, openssl::dataOf(associatedData),
                                     openssl::checkedInt(associatedData.size())));
    openssl::check(EVP_EncryptUpdate(context.get(), ciphertext, &written, openssl::dataOf(plaintext),
                                     openssl::checkedInt(plaintext.size())));
    int finalWritten = 0;
    openssl::check(EVP_EncryptFinal_ex(context.get(), ciphertext + written, &finalWritten));
    if (static_cast<std::size_t>(written) + static_cast<std::size_t>(finalWritten) != plaintext.size()) {
        openssl::fail();
    }
    openssl::check(
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, tagSize, ciphertext + plaintext.size()));
    return combined;
}

Bytes open(const SymmetricKey& key, ByteView combined, ByteView associatedData) {
    if (combined.size() < nonceSize + tagSize) {
        throw CryptoError(CryptoError::Kind::incorrectParameterSize);
    }
    openssl::ErrorScope errors;
    const ByteView nonce = combined.first(nonceSize);
    const ByteView ciphertext = combined.subspan(nonceSize, combined.size() - nonceSize - tagSize);
    const ByteView tag = combined.last(tagSize);

    const CipherContext context = newContext();
    openssl::check(EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce.data()));
    int written = 0;
    openssl::check(EVP_DecryptUpdate(context.get(), nullptr, &written, openssl::dataOf(associatedData),
                                     openssl::checkedInt(associatedData.size())));
    Bytes plaintext(ciphertext.size());
    openssl::check(EVP_DecryptUpdate(context.get(), plaintext.data(), &written, openssl::dataOf(ciphertext),
                                     openssl::checkedInt(ciphertext.size())));
    openssl::check(EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, tagSize,
                                       const_cast<std::uint8_t*>(tag.data())));
    int finalWritten = 0;
    if (EVP_DecryptFinal_ex(context.get(), plaintext.data() + written, &finalWritten) != 1) {
        OPENSSL_cleanse(plaintext.data(), plaintext.size());
        throw CryptoError(CryptoError::Kind::authenticationFailure);
    }
    return plaintext;
}

} // namespace kestrava::crypto::AesGcm
