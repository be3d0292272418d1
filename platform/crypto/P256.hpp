#pragma once

#include "platform/bytes/Bytes.hpp"

#include <array>
#include <memory>
#include <optional>

struct evp_pkey_st;

namespace kestrava::crypto {

struct PkeyDeleter {
    void operator()(evp_pkey_st* key) const noexcept;
};
using PkeyHandle = std::shared_ptr<evp_pkey_st>;

// A P-256 public key, used both for signatures and for key agreement. Only the 65-byte uncompressed
// X9.63 form (0x04 || X || Y) of a point on the curve is accepted.
class P256PublicKey {
public:
    static std::optional<P256PublicKey> fromX963(ByteView bytes);

    // Always the 65-byte uncompressed form.
    Bytes x963() const;

    // ECDSA with SHA-256 over `message`. Only strict DER is accepted (no raw r||s, no trailing bytes,
    // no non-minimal integers); high-S signatures are valid.
    bool isValidSignature(ByteView derSignature, ByteView message) const;

    evp_pkey_st* handle() const noexcept { return key_.get(); }

private:
    explicit P256PublicKey(PkeyHandle key) : key_(std::move(key)) {}
    PkeyHandle key_;
};

class P256PrivateKey {
public:
    static P256PrivateKey generate();

    // The 32-byte big-endian scalar d with 1 <= d < n; anything else gives nothing.
    static std::optional<P256PrivateKey> fromRaw(ByteView bytes);

    // The scalar as exactly 32 bytes (leading zeros kept).
    std::array<std::uint8_t, 32> raw() const;

    P256PublicKey publicKey() const;

    // ECDH: the 32-byte x-coordinate of d * peer, with no key derivation applied.
    std::array<std::uint8_t, 32> sharedSecret(const P256PublicKey& peer) const;

    // ECDSA with SHA-256 over `message`, DER-encoded.
    Bytes signatureDer(ByteView message) const;

private:
    explicit P256PrivateKey(PkeyHandle key) : key_(std::move(key)) {}
    PkeyHandle key_;
};

} // namespace kestrava::crypto
