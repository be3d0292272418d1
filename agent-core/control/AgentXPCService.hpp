#pragma once

#include "agent-core/control/AgentControl.hpp"
#include "platform/json/Value.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kestrava {

// One control connection's side of the agent: turns each call into an operation of the agent and its
// answer into reply values, and remembers whether this connection opened the pairing window, so that a
// client that goes away without cancelling or deciding closes the window. Holds the agent weakly: a gone
// agent gets the fixed "agent gone" answers.
class AgentXPCService {
public:
    // `fullDiskAccess` answers hasFullDiskAccessWithReply:, agent or not.
    AgentXPCService(std::weak_ptr<AgentControl> agent, std::function<bool()> fullDiskAccess);

    // One call: the reply values of a two-way method, nothing for a one-way one. Throws
    // ControlProtocolError for an unknown method or arguments of another number or type.
    std::optional<json::Array> handle(const std::string& method, const json::Array& arguments);

    // The connection ended, however; a second call does nothing.
    void connectionClosed();

private:
    void setOpenedPairing(bool opened);

    const std::weak_ptr<AgentControl> agent_;
    const std::function<bool()> fullDiskAccess_;
    std::mutex lock_;
    bool openedPairing_ = false; // guarded by lock_
};

} // namespace kestrava
