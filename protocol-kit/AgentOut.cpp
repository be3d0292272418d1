#include "protocol-kit/AgentOut.hpp"

#include "protocol-kit/Base64URL.hpp"
#include "protocol-kit/Base64URLMember.hpp"
#include "protocol-kit/CaseTag.hpp"

namespace kestrava {
namespace {

struct Encoder {
    json::Object operator()(const AgentOut::Hello& m) const {
        return taggedObject("hello")
            .add("v", json::Value::integer(m.v))
            .add("agentVersion", m.agentVersion)
            .add("macName", m.macName);
    }
    json::Object operator()(const AgentOut::E2E& m) const {
        return taggedObject("e2e")
            .add("phoneId", m.phoneId)
            .add("rid", m.rid)
            .add("box", Base64URL::encode(m.box));
    }
    json::Object operator()(const AgentOut::PairingOpen& m) const {
        return taggedObject("pairingOpen")
            .add("secretHash", m.secretHash)
            .add("expiresAt", json::Value::integer(m.expiresAt));
    }
    json::Object operator()(const AgentOut::PairingDecision& m) const {
        json::Object object =
            taggedObject("pairingDecision").add("requestId", m.requestId).add("approve", m.approve);
        if (m.phoneId) {
            object.add("phoneId", *m.phoneId);
        }
        return object;
    }
    json::Object operator()(const AgentOut::Revoke& m) const {
        return taggedObject("revoke").add("phoneId", m.phoneId);
    }
    json::Object operator()(const AgentOut::Goodbye& m) const {
        json::Object object = taggedObject("goodbye");
        if (m.reason) {
            object.add("reason", *m.reason);
        }
        return object;
    }
    json::Object operator()(const AgentOut::Rename& m) const {
        return taggedObject("rename").add("macName", m.macName);
    }
    json::Object operator()(const AgentOut::Complete& m) const {
        return taggedObject("complete").add("rid", m.rid);
    }
};

} // namespace

json::Object AgentOut::encode() const {
    return std::visit(Encoder{}, value);
}

AgentOut AgentOut::decode(const json::ObjectReader& r) {
    const std::string t = r.string(caseTagKey);
    if (t == "hello") {
        return {Hello{r.int64("v"), r.string("agentVersion"), r.string("macName")}};
    }
    if (t == "e2e") {
        return {E2E{r.string("phoneId"), r.string("rid"), readBase64URLMember(r, "box")}};
    }
    if (t == "pairingOpen") {
        return {PairingOpen{r.string("secretHash"), r.int64("expiresAt")}};
    }
    if (t == "pairingDecision") {
        return {PairingDecision{r.string("requestId"), r.boolean("approve"), r.optionalString("phoneId")}};
    }
    if (t == "revoke") {
        return {Revoke{r.string("phoneId")}};
    }
    if (t == "goodbye") {
        return {Goodbye{r.optionalString("reason")}};
    }
    if (t == "rename") {
        return {Rename{r.string("macName")}};
    }
    if (t == "complete") {
        return {Complete{r.string("rid")}};
    }
    failUnknownCase(r, t);
}

} // namespace kestrava
