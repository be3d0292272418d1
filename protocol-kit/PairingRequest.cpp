#include "protocol-kit/PairingRequest.hpp"

#include "protocol-kit/Base64URL.hpp"
#include "protocol-kit/Base64URLMember.hpp"

namespace kestrava {

json::Object PairingRequest::encode() const {
    json::Object object;
    object.add("phoneSignPub", Base64URL::encode(phoneSignPub))
        .add("phoneAgreePub", Base64URL::encode(phoneAgreePub))
        .add("encName", Base64URL::encode(encName))
        .add("proof", Base64URL::encode(proof))
        .add("secretHash", secretHash);
    return object;
}

PairingRequest PairingRequest::decode(const json::ObjectReader& reader) {
    PairingRequest request;
    request.phoneSignPub = readBase64URLMember(reader, "phoneSignPub");
    request.phoneAgreePub = readBase64URLMember(reader, "phoneAgreePub");
    request.encName = readBase64URLMember(reader, "encName");
    request.proof = readBase64URLMember(reader, "proof");
    request.secretHash = reader.string("secretHash");
    return request;
}

} // namespace kestrava
