#include "protocol-kit/PhoneEvent.hpp"

#include "protocol-kit/Base64URL.hpp"
#include "protocol-kit/Base64URLMember.hpp"
#include "protocol-kit/CaseTag.hpp"

namespace kestrava {
namespace {

struct Encoder {
    json::Object operator()(const PhoneEvent::Presence& m) const {
        json::Object object = taggedObject("presence")
                                  .add("online", m.online)
                                  .add("lastSeen", json::Value::integer(m.lastSeen));
        if (m.reason) {
            object.add("reason", *m.reason);
        }
        return object;
    }
    json::Object operator()(const PhoneEvent::E2E& m) const {
        return taggedObject("e2e").add("rid", m.rid).add("box", Base64URL::encode(m.box));
    }
    json::Object operator()(const PhoneEvent::Lost& m) const {
        return taggedObject("lost").add("rid", m.rid);
    }
};

} // namespace

json::Object PhoneEvent::encode() const {
    return std::visit(Encoder{}, value);
}

PhoneEvent PhoneEvent::decode(const json::ObjectReader& r) {
    const std::string t = r.string(caseTagKey);
    if (t == "presence") {
        return {Presence{r.boolean("online"), r.int64("lastSeen"), r.optionalString("reason")}};
    }
    if (t == "e2e") {
        return {E2E{r.string("rid"), readBase64URLMember(r, "box")}};
    }
    if (t == "lost") {
        return {Lost{r.string("rid")}};
    }
    failUnknownCase(r, t);
}

} // namespace kestrava
