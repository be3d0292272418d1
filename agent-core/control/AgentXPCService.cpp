#include "agent-core/control/AgentXPCService.hpp"

#include "agent-core/control/ControlFrames.hpp"
#include "agent-core/control/XPCCoding.hpp"

#include <exception>
#include <utility>

namespace kestrava {
namespace {

void expectCount(const json::Array& arguments, std::size_t count) {
    if (arguments.size() != count) {
        throw ControlProtocolError("a control call with " + std::to_string(arguments.size()) +
                                   " arguments where " + std::to_string(count) + " belong");
    }
}

const std::string& textAt(const json::Array& arguments, std::size_t index) {
    if (const std::string* text = arguments.at(index).asString()) {
        return *text;
    }
    throw ControlProtocolError("a control call argument that is not a string");
}

bool booleanAt(const json::Array& arguments, std::size_t index) {
    if (const bool* flag = arguments.at(index).asBool()) {
        return *flag;
    }
    throw ControlProtocolError("a control call argument that is not a boolean");
}

// A data reply: the agent's JSON text as a string, or null.
json::Value data(std::optional<std::string> text) {
    return text ? json::Value(std::move(*text)) : json::Value(nullptr);
}

std::optional<std::string> encodedOutcome(const PairingOutcome& outcome) {
    try {
        return XPCCoding::encode(outcome);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

AgentXPCService::AgentXPCService(std::weak_ptr<AgentControl> agent, std::function<bool()> fullDiskAccess)
    : agent_(std::move(agent)), fullDiskAccess_(std::move(fullDiskAccess)) {}

std::optional<json::Array> AgentXPCService::handle(const std::string& method, const json::Array& arguments) {
    const std::shared_ptr<AgentControl> agent = agent_.lock();
    if (method == "statusWithReply:") {
        expectCount(arguments, 0);
        return json::Array{data(agent ? agent->status() : std::nullopt)};
    }
    if (method == "openPairingWithReply:") {
        expectCount(arguments, 0);
        const auto opened = agent ? agent->openPairing() : std::nullopt;
        if (!opened) {
            return json::Array{nullptr, json::Value::real(0)};
        }
        setOpenedPairing(true);
        return json::Array{opened->link, json::Value::real(opened->expiresAt)};
    }
    if (method == "cancelPairing") {
        expectCount(arguments, 0);
        setOpenedPairing(false);
        if (agent) {
            agent->cancelPairing();
        }
        return std::nullopt;
    }
    if (method == "decideWithRequestId:approve:reply:") {
        expectCount(arguments, 2);
        const std::string& requestId = textAt(arguments, 0);
        const bool approve = booleanAt(arguments, 1);
        const PairingOutcome outcome =
            agent ? agent->decide(requestId, approve)
                  : PairingOutcome{PairingOutcome::Denied{PairingDenial::notPending}};
        setOpenedPairing(false);
        return json::Array{data(encodedOutcome(outcome))};
    }
    if (method == "phonesWithReply:") {
        expectCount(arguments, 0);
        return json::Array{data(agent ? agent->phones() : std::nullopt)};
    }
    if (method == "revokeWithPhoneId:reply:") {
        expectCount(arguments, 1);
        const std::string& phoneId = textAt(arguments, 0);
        return json::Array{agent ? agent->revoke(phoneId) : false};
    }
    if (method == "setMonitoringPaused:") {
        expectCount(arguments, 1);
        const bool paused = booleanAt(arguments, 0);
        if (agent) {
            agent->setMonitoringPaused(paused);
        }
        return std::nullopt;
    }
    if (method == "reregisterWithReply:") {
        expectCount(arguments, 0);
        return json::Array{agent ? agent->reregister() : false};
    }
    if (method == "hasFullDiskAccessWithReply:") {
        expectCount(arguments, 0);
        return json::Array{fullDiskAccess_()};
    }
    if (method == "pendingPairingWithReply:") {
        expectCount(arguments, 0);
        return json::Array{data(agent ? agent->pendingPairing() : std::nullopt)};
    }
    throw ControlProtocolError("an unknown control method");
}

void AgentXPCService::connectionClosed() {
    bool opened = false;
    {
        const std::lock_guard held(lock_);
        opened = std::exchange(openedPairing_, false);
    }
    if (opened) {
        if (const auto agent = agent_.lock()) {
            agent->cancelPairing();
        }
    }
}

void AgentXPCService::setOpenedPairing(bool opened) {
    const std::lock_guard held(lock_);
    openedPairing_ = opened;
}

} // namespace kestrava
