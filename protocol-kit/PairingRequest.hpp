#pragma once

#include "platform/bytes/Bytes.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"

#include <string>

namespace kestrava {

// A phone's answer to a pairing link: its two public keys, its sealed name, the proof that it knows the
// secret, and the hash of that secret.
struct PairingRequest {
    Bytes phoneSignPub;  // uncompressed P-256 point, verifies the phone's commands
    Bytes phoneAgreePub; // uncompressed P-256 point, for key agreement
    Bytes encName;       // sealed by Pairing::encryptName
    Bytes proof;         // Pairing::proof
    std::string secretHash;

    json::Object encode() const;
    static PairingRequest decode(const json::ObjectReader& reader);

    bool operator==(const PairingRequest&) const = default;
};

} // namespace kestrava
