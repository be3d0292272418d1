#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/AgentXPCClient.hpp"
#include "agent-core/control/PairingOutcome.hpp"
#include "agent-core/control/PendingPairingInfo.hpp"
#include "agent-core/control/PhoneInfo.hpp"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestrava::test {

// The agent's control socket as a test uses it: each call waits for its answer and decodes it. A call
// that gets a connection error instead throws ControlClient::Lost.
class ControlClient {
public:
    struct Lost : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    explicit ControlClient(const std::filesystem::path& socket) : client_(socket) {}

    std::optional<AgentStatus> status();
    // The link and its end in milliseconds since 1970.
    std::optional<std::pair<std::string, double>> openPairing();
    void cancelPairing() { client_.cancelPairing(); }
    PairingOutcome decide(const std::string& requestId, bool approve);
    std::vector<PhoneInfo> phones();
    bool revoke(const std::string& phoneId);
    void setMonitoringPaused(bool paused) { client_.setMonitoringPaused(paused); }
    bool reregister();
    bool hasFullDiskAccess();
    std::optional<PendingPairingInfo> pendingPairing();

    AgentXPCClient& raw() { return client_; }

private:
    AgentXPCClient client_;
};

} // namespace kestrava::test
