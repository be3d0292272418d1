#include "agent-core/control/PendingPairingInfo.hpp"

namespace kestrava {

json::Object PendingPairingInfo::encode() const {
    json::Object object;
    object.add("requestId", requestId)
        .add("phoneName", phoneName)
        .add("sas", sas)
        .add("expiresAt", json::Value::integer(expiresAt));
    return object;
}

PendingPairingInfo PendingPairingInfo::decode(const json::ObjectReader& r) {
    PendingPairingInfo pending;
    pending.requestId = r.string("requestId");
    pending.phoneName = r.string("phoneName");
    pending.sas = r.string("sas");
    pending.expiresAt = r.int64("expiresAt");
    return pending;
}

} // namespace kestrava
