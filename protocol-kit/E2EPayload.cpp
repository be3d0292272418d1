#include "protocol-kit/E2EPayload.hpp"

#include "protocol-kit/CaseTag.hpp"

namespace kestrava {
namespace {

struct Encoder {
    json::Object operator()(const E2EPayload::Command& m) const {
        return taggedObject("command").add("command", m.command.encode());
    }
    json::Object operator()(const E2EPayload::Out& m) const {
        return taggedObject("out").add("id", m.id).add("stream", m.stream).add("data", m.data);
    }
    json::Object operator()(const E2EPayload::Done& m) const {
        json::Object object = taggedObject("done").add("id", m.id);
        if (m.exitCode) {
            object.add("exitCode", json::Value::integer(*m.exitCode));
        }
        return object.add("durationMs", json::Value::integer(m.durationMs))
            .add("truncated", m.truncated)
            .add("timedOut", m.timedOut);
    }
    json::Object operator()(const E2EPayload::Rejected& m) const {
        return taggedObject("rejected").add("id", m.id).add("reason", m.reason);
    }
    json::Object operator()(const E2EPayload::Status& m) const {
        return taggedObject("status").add("status", m.status.encode());
    }
};

} // namespace

json::Object E2EPayload::encode() const {
    return std::visit(Encoder{}, value);
}

E2EPayload E2EPayload::decode(const json::ObjectReader& r) {
    const std::string t = r.string(caseTagKey);
    if (t == "command") {
        return {Command{SignedCommand::decode(r.object("command"))}};
    }
    if (t == "out") {
        return {Out{r.string("id"), r.string("stream"), r.string("data")}};
    }
    if (t == "done") {
        return {Done{r.string("id"), r.optionalInt32("exitCode"), r.int64("durationMs"),
                     r.boolean("truncated"), r.boolean("timedOut")}};
    }
    if (t == "rejected") {
        return {Rejected{r.string("id"), r.string("reason")}};
    }
    if (t == "status") {
        return {Status{StatusSnapshot::decode(r.object("status"))}};
    }
    failUnknownCase(r, t);
}

} // namespace kestrava
