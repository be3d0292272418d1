#include "platform/crypto/P256.hpp"

#include "platform/crypto/OpenSsl.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>

#include <algorithm>

namespace kestrava::crypto {
namespace {

using PkeyContext = openssl::Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using MdContext = openssl::Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
using BigNumber = openssl::Owned<BIGNUM, BN_clear_free>;
using Group = openssl::Owned<EC_GROUP, EC_GROUP_free>;
using Point = openssl::Owned<EC_POINT, EC_POINT_free>;
using ParamBuilder = openssl::Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using Params = openssl::Owned<OSSL_PARAM, OSSL_PARAM_free>;

constexpr std::size_t scalarSize = 32;
constexpr std::size_t pointSize = 1 + 2 * scalarSize;
constexpr std::uint8_t uncompressedPrefix = 0x04;
constexpr char groupName[] = "prime256v1";

// The order n of the base point, big-endian.
constexpr std::array<std::uint8_t, scalarSize> groupOrder = {
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xBC, 0xE6, 0xFA, 0xAD, 0xA7, 0x17, 0x9E, 0x84, 0xF3, 0xB9, 0xCA, 0xC2, 0xFC, 0x63, 0x25, 0x51,
};

PkeyHandle adopt(EVP_PKEY* key) {
    return PkeyHandle(openssl::check(key), PkeyDeleter{});
}

// Builds an EC key of the group from the given parameters; `selection` says which parts they hold.
PkeyHandle keyFromParams(OSSL_PARAM_BLD* builder, int selection) {
    openssl::check(OSSL_PARAM_BLD_push_utf8_string(builder, OSSL_PKEY_PARAM_GROUP_NAME, groupName, 0));
    const Params params(openssl::check(OSSL_PARAM_BLD_to_param(builder)));
    const PkeyContext context(openssl::check(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr)));
    openssl::check(EVP_PKEY_fromdata_init(context.get()));
    EVP_PKEY* key = nullptr;
    openssl::check(EVP_PKEY_fromdata(context.get(), &key, selection, params.get()));
    return adopt(key);
}

// 1 <= d < n; both sides are 32-byte big-endian, so byte order is numeric order.
bool isValidScalar(ByteView scalar) {
    return std::any_of(scalar.begin(), scalar.end(), [](std::uint8_t byte) { return byte != 0; }) &&
           std::lexicographical_compare(scalar.begin(), scalar.end(), groupOrder.begin(), groupOrder.end());
}

// d * G as an uncompressed point.
std::array<std::uint8_t, pointSize> publicPointOf(const BIGNUM* scalar) {
    const Group group(openssl::check(EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1)));
    const Point point(openssl::check(EC_POINT_new(group.get())));
    openssl::check(EC_POINT_mul(group.get(), point.get(), scalar, nullptr, nullptr, nullptr));
    std::array<std::uint8_t, pointSize> encoded{};
    if (EC_POINT_point2oct(group.get(), point.get(), POINT_CONVERSION_UNCOMPRESSED, encoded.data(),
                           encoded.size(), nullptr) != encoded.size()) {
        openssl::fail();
    }
    return encoded;
}

} // namespace

void PkeyDeleter::operator()(evp_pkey_st* key) const noexcept {
    EVP_PKEY_free(key);
}

std::optional<P256PublicKey> P256PublicKey::fromX963(ByteView bytes) {
    // OpenSSL's point decoder would also take compressed, hybrid and infinity encodings.
    if (bytes.size() != pointSize || bytes.front() != uncompressedPrefix) {
        return std::nullopt;
    }
    openssl::ErrorScope errors;
    try {
        const ParamBuilder builder(openssl::check(OSSL_PARAM_BLD_new()));
        openssl::check(OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, bytes.data(),
                                                        bytes.size()));
        PkeyHandle key = keyFromParams(builder.get(), EVP_PKEY_PUBLIC_KEY);
        // Importing does not promise to validate the point; this check does.
        const PkeyContext checker(openssl::check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr)));
        openssl::check(EVP_PKEY_public_check_quick(checker.get()));
        return P256PublicKey(std::move(key));
    } catch (const CryptoError&) {
        return std::nullopt;
    }
}

Bytes P256PublicKey::x963() const {
    openssl::ErrorScope errors;
    Bytes encoded(pointSize);
    std::size_t size = 0;
    openssl::check(EVP_PKEY_get_octet_string_param(key_.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded.data(),
                                                   encoded.size(), &size));
    if (size != pointSize || encoded.front() != uncompressedPrefix) {
        openssl::fail();
    }
    return encoded;
}

bool P256PublicKey::isValidSignature(ByteView derSignature, ByteView message) const {
    openssl::ErrorScope errors;
    const MdContext context(EVP_MD_CTX_new());
    // OpenSSL decodes the DER, re-encodes it and compares, so only the one strict encoding verifies.
    return context != nullptr &&
           EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key_.get()) == 1 &&
           EVP_DigestVerify(context.get(), derSignature.data(), derSignature.size(), message.data(),
                            message.size()) == 1;
}

P256PrivateKey P256PrivateKey::generate() {
    openssl::ErrorScope errors;
    return P256PrivateKey(adopt(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256")));
}

std::optional<P256PrivateKey> P256PrivateKey::fromRaw(ByteView bytes) {
    if (bytes.size() != scalarSize || !isValidScalar(bytes)) {
        return std::nullopt;
    }
    openssl::ErrorScope errors;
    const BigNumber scalar(openssl::check(BN_secure_new()));
    openssl::check(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), scalar.get()));
    const auto publicPoint = publicPointOf(scalar.get());
    const ParamBuilder builder(openssl::check(OSSL_PARAM_BLD_new()));
    openssl::check(OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar.get()));
    openssl::check(OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY,
                                                    publicPoint.data(), publicPoint.size()));
    return P256PrivateKey(keyFromParams(builder.get(), EVP_PKEY_KEYPAIR));
}

std::array<std::uint8_t, 32> P256PrivateKey::raw() const {
    openssl::ErrorScope errors;
    BIGNUM* exported = nullptr;
    openssl::check(EVP_PKEY_get_bn_param(key_.get(), OSSL_PKEY_PARAM_PRIV_KEY, &exported));
    const BigNumber scalar(exported);
    std::array<std::uint8_t, scalarSize> bytes{};
    if (BN_bn2binpad(scalar.get(), bytes.data(), static_cast<int>(bytes.size())) !=
        static_cast<int>(bytes.size())) {
        openssl::fail();
    }
    return bytes;
}

P256PublicKey P256PrivateKey::publicKey() const {
    openssl::ErrorScope errors;
    std::array<std::uint8_t, pointSize> encoded{};
    std::size_t size = 0;
    openssl::check(EVP_PKEY_get_octet_string_param(key_.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded.data(),
                                                   encoded.size(), &size));
    if (size != encoded.size()) {
        openssl::fail();
    }
    auto key = P256PublicKey::fromX963(encoded);
    if (!key) {
        openssl::fail();
    }
    return *std::move(key);
}

std::array<std::uint8_t, 32> P256PrivateKey::sharedSecret(const P256PublicKey& peer) const {
    openssl::ErrorScope errors;
    const PkeyContext context(openssl::check(EVP_PKEY_CTX_new_from_pkey(nullptr, key_.get(), nullptr)));
    openssl::check(EVP_PKEY_derive_init(context.get()));
    openssl::check(EVP_PKEY_derive_set_peer(context.get(), peer.handle()));
    std::array<std::uint8_t, scalarSize> secret{};
    std::size_t size = secret.size();
    openssl::check(EVP_PKEY_derive(context.get(), secret.data(), &size));
    if (size != secret.size()) {
        openssl::fail();
    }
    return secret;
}

Bytes P256PrivateKey::signatureDer(ByteView message) const {
    openssl::ErrorScope errors;
    const MdContext context(openssl::check(EVP_MD_CTX_new()));
    openssl::check(EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key_.get()));
    std::size_t size = 0;
    openssl::check(EVP_DigestSign(context.get(), nullptr, &size, message.data(), message.size()));
    Bytes signature(size);
    openssl::check(EVP_DigestSign(context.get(), signature.data(), &size, message.data(), message.size()));
    signature.resize(size);
    return signature;
}

} // namespace kestrava::crypto
