#include "agent-core/control/AgentStatus.hpp"

namespace kestrava {

json::Object AgentStatus::encode() const {
    json::Object object;
    object.add("connection", connection.encode()).add("snapshot", snapshot.encode());
    if (deviceId) {
        object.add("deviceId", *deviceId);
    }
    object.add("macName", macName)
        .add("agentVersion", agentVersion)
        .add("monitoringPaused", monitoringPaused);
    return object;
}

AgentStatus AgentStatus::decode(const json::ObjectReader& r) {
    AgentStatus status;
    status.connection = ConnectionState::decode(r.object("connection"));
    status.snapshot = StatusSnapshot::decode(r.object("snapshot"));
    status.deviceId = r.optionalString("deviceId");
    status.macName = r.string("macName");
    status.agentVersion = r.string("agentVersion");
    status.monitoringPaused = r.boolean("monitoringPaused");
    return status;
}

} // namespace kestrava
