#include "agent-core/control/ConnectionState.hpp"

namespace kestrava {
namespace {

constexpr const char* stateKey = "state";

json::Object stateObject(const char* name) {
    json::Object object;
    object.add(stateKey, name);
    return object;
}

struct Encoder {
    json::Object operator()(const ConnectionState::Reconnecting& s) const {
        return stateObject("reconnecting").add("nextIn", json::Value::integer(s.nextIn));
    }
    json::Object operator()(const ConnectionState::Error& s) const {
        return stateObject("error").add("message", s.message);
    }
    json::Object operator()(const ConnectionState::Connected&) const { return stateObject("connected"); }
    json::Object operator()(const ConnectionState::RemovedByRelay&) const {
        return stateObject("removedByRelay");
    }
    json::Object operator()(const ConnectionState::IdentityConflict&) const {
        return stateObject("identityConflict");
    }
    json::Object operator()(const ConnectionState::Paused&) const { return stateObject("paused"); }
};

} // namespace

json::Object ConnectionState::encode() const {
    return std::visit(Encoder{}, value);
}

ConnectionState ConnectionState::decode(const json::ObjectReader& r) {
    const std::string state = r.string(stateKey);
    if (state == "reconnecting") {
        return {Reconnecting{r.int64("nextIn")}};
    }
    if (state == "error") {
        return {Error{r.string("message")}};
    }
    if (state == "connected") {
        return {Connected{}};
    }
    if (state == "removedByRelay") {
        return {RemovedByRelay{}};
    }
    if (state == "identityConflict") {
        return {IdentityConflict{}};
    }
    if (state == "paused") {
        return {Paused{}};
    }
    r.dataCorrupted(stateKey, "unknown state " + state);
}

} // namespace kestrava
