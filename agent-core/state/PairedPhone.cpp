#include "agent-core/state/PairedPhone.hpp"

#include "agent-core/state/StateFileMembers.hpp"
#include "platform/encoding/Base64.hpp"
#include "platform/time/Iso8601.hpp"

namespace kestrava {

json::Object PairedPhone::encode() const {
    json::Object object;
    object.add("phoneId", phoneId)
        .add("name", name)
        .add("signPub", base64::encode(signPub))
        .add("agreePub", base64::encode(agreePub))
        .add("pairedAt", iso8601::format(pairedAt));
    if (lastUsed) {
        object.add("lastUsed", iso8601::format(*lastUsed));
    }
    return object;
}

PairedPhone PairedPhone::decode(const json::ObjectReader& reader) {
    PairedPhone phone;
    phone.phoneId = reader.string("phoneId");
    phone.name = reader.string("name");
    phone.signPub = readBase64Member(reader, "signPub");
    phone.agreePub = readBase64Member(reader, "agreePub");
    phone.pairedAt = readDateMember(reader, "pairedAt");
    phone.lastUsed = readOptionalDateMember(reader, "lastUsed");
    return phone;
}

} // namespace kestrava
