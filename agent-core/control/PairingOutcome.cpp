#include "agent-core/control/PairingOutcome.hpp"

namespace kestrava {
namespace {

struct Encoder {
    json::Object operator()(const PairingOutcome::Approved& outcome) const {
        json::Object object;
        object.add("ok", true).add("phoneId", outcome.phoneId);
        return object;
    }
    json::Object operator()(const PairingOutcome::Denied& outcome) const {
        json::Object object;
        object.add("ok", false).add("error", std::string(rawValue(outcome.denial)));
        return object;
    }
};

} // namespace

json::Object PairingOutcome::encode() const {
    return std::visit(Encoder{}, value);
}

PairingOutcome PairingOutcome::decode(const json::ObjectReader& r) {
    if (r.boolean("ok")) {
        return {Approved{r.string("phoneId")}};
    }
    const std::string error = r.string("error");
    const std::optional<PairingDenial> denial = pairingDenialFromRawValue(error);
    if (!denial) {
        r.dataCorrupted("error", "unknown pairing denial " + error);
    }
    return {Denied{*denial}};
}

} // namespace kestrava
