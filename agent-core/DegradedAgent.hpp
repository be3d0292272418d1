#pragma once

#include "agent-core/control/AgentControl.hpp"
#include "agent-core/state/StateStore.hpp"
#include "protocol-kit/StatusSnapshot.hpp"

#include <functional>
#include <memory>
#include <string>

namespace kestrava {

// The agent when it must not use its relay identity: the configuration was lost, or the identity is
// incomplete, while phones are paired. It serves only the control surface: the status reports the error
// "configLost", pairing is refused, phones can be listed and unpaired here, and once none is left a
// re-registration restarts the process, whose next start registers a new device. No relay connection,
// session, executor, keep-awake or secret store.
class DegradedAgent : public AgentControl {
public:
    // Logs `why` as an ERROR line, serves until SIGTERM or SIGINT (exit 0) or a restart; never returns.
    [[noreturn]] static void run(std::shared_ptr<StateStore> state, std::string macName,
                                 const std::string& why);

    DegradedAgent(std::shared_ptr<StateStore> state, std::string macName,
                  std::function<StatusSnapshot()> snapshot, std::function<void()> restart,
                  std::function<void()> notify);

    std::optional<std::string> status() override;
    std::optional<OpenedPairing> openPairing() override;
    void cancelPairing() override;
    PairingOutcome decide(const std::string& requestId, bool approve) override;
    std::optional<std::string> phones() override;
    bool revoke(const std::string& phoneId) override;
    void setMonitoringPaused(bool paused) override;
    bool reregister() override;
    std::optional<std::string> pendingPairing() override;

private:
    const std::shared_ptr<StateStore> state_;
    const std::string macName_;
    const std::function<StatusSnapshot()> snapshot_;
    const std::function<void()> restart_;
    const std::function<void()> notify_;
};

} // namespace kestrava
