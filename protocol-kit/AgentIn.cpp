#include "protocol-kit/AgentIn.hpp"

#include "protocol-kit/Base64URL.hpp"
#include "protocol-kit/Base64URLMember.hpp"
#include "protocol-kit/CaseTag.hpp"

namespace kestrava {
namespace {

struct Encoder {
    json::Object operator()(const AgentIn::E2E& m) const {
        return taggedObject("e2e")
            .add("phoneId", m.phoneId)
            .add("rid", m.rid)
            .add("box", Base64URL::encode(m.box));
    }
    json::Object operator()(const AgentIn::PairingRequest& m) const {
        return taggedObject("pairingRequest")
            .add("requestId", m.requestId)
            .add("request", m.request.encode());
    }
    json::Object operator()(const AgentIn::PhoneRemoved& m) const {
        return taggedObject("phoneRemoved").add("phoneId", m.phoneId);
    }
    json::Object operator()(const AgentIn::Phones& m) const {
        json::Array ids(m.phoneIds.begin(), m.phoneIds.end());
        return taggedObject("phones").add("phoneIds", std::move(ids));
    }
};

} // namespace

json::Object AgentIn::encode() const {
    return std::visit(Encoder{}, value);
}

AgentIn AgentIn::decode(const json::ObjectReader& r) {
    const std::string t = r.string(caseTagKey);
    if (t == "e2e") {
        return {E2E{r.string("phoneId"), r.string("rid"), readBase64URLMember(r, "box")}};
    }
    if (t == "pairingRequest") {
        return {PairingRequest{r.string("requestId"), kestrava::PairingRequest::decode(r.object("request"))}};
    }
    if (t == "phoneRemoved") {
        return {PhoneRemoved{r.string("phoneId")}};
    }
    if (t == "phones") {
        return {Phones{r.stringArray("phoneIds")}};
    }
    failUnknownCase(r, t);
}

} // namespace kestrava
