#include "agent-core/control/AgentXPC.hpp"

#include "agent-core/runtime/AgentEnvironment.hpp"

namespace kestrava::AgentXPC {

const std::string& machServiceName() {
    static const std::string name = AgentEnvironment::current().machServiceName;
    return name;
}

const std::string& changedNotification() {
    static const std::string name = AgentEnvironment::current().notificationPrefix + ".changed";
    return name;
}

const std::string& pairingRequestNotification() {
    static const std::string name = AgentEnvironment::current().notificationPrefix + ".pairingRequest";
    return name;
}

} // namespace kestrava::AgentXPC
