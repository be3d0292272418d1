#include "agent-core/control/PhoneInfo.hpp"

#include "agent-core/control/XPCDateMembers.hpp"

namespace kestrava {

json::Object PhoneInfo::encode() const {
    json::Object object;
    object.add("phoneId", phoneId).add("name", name).add("pairedAt", millisecondsValue(pairedAt));
    if (lastUsed) {
        object.add("lastUsed", millisecondsValue(*lastUsed));
    }
    return object;
}

PhoneInfo PhoneInfo::decode(const json::ObjectReader& r) {
    PhoneInfo phone;
    phone.phoneId = r.string("phoneId");
    phone.name = r.string("name");
    phone.pairedAt = readMillisecondsMember(r, "pairedAt");
    phone.lastUsed = readOptionalMillisecondsMember(r, "lastUsed");
    return phone;
}

} // namespace kestrava
