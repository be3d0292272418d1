#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "app/async/Scheduler.hpp"
#include "app/link/AgentClientError.hpp"
#include "app/system/AppServiceBackend.hpp"

#include <QCoro/QCoroTask>
#include <functional>
#include <memory>
#include <string>
#include <variant>

namespace kestrava::app {

// Why the agent's service could not be brought back.
struct ServiceManagerError {
    enum class Kind {
        registerFailed,   // both attempts failed; `text` describes the second failure
        agentDidNotStart, // no status answer within the restart deadline
        requiresApproval, // the service is blocked until the user lifts the block
    };

    Kind kind;
    std::string text;

    static ServiceManagerError registerFailed(std::string text) {
        return {Kind::registerFailed, std::move(text)};
    }
    static ServiceManagerError agentDidNotStart() { return {Kind::agentDidNotStart, {}}; }
    static ServiceManagerError requiresApproval() { return {Kind::requiresApproval, {}}; }

    bool operator==(const ServiceManagerError&) const = default;
};

// How a restart can end: one of ours, or the system's refusal to stop the service.
using ServiceFailure = std::variant<ServiceManagerError, PlatformError>;

// Asks the running agent for its status.
using StatusProbe = std::function<QCoro::Task<AgentResult<AgentStatus>>()>;

// True when the probe brought a status within `limit`. A probe that fails counts as no answer; one that
// answers late is not waited for.
QCoro::Task<bool> probe(Scheduler& scheduler, StatusProbe statusProbe, Scheduler::Clock::duration limit);

// The supervisor of the agent as the user's service: registers it, restarts it and waits until it answers,
// and holds the application's own start at login. It keeps no state: every decision reads the service's
// status afresh. It must outlive the calls made on it.
class ServiceManager {
public:
    using Duration = Scheduler::Clock::duration;

    struct Timings {
        Duration pollInterval = std::chrono::milliseconds(500);
        Duration restartDeadline = std::chrono::seconds(10);
        Duration probeTimeout = std::chrono::seconds(2);
        Duration unregisterTimeout = std::chrono::seconds(3);
        Duration unregisterSettle = std::chrono::milliseconds(300);
    };

    ServiceManager(std::shared_ptr<AppServiceBackend> agent, std::shared_ptr<AppServiceBackend> mainApp,
                   StatusProbe statusProbe, Scheduler& scheduler, Timings timings);
    ServiceManager(std::shared_ptr<AppServiceBackend> agent, std::shared_ptr<AppServiceBackend> mainApp,
                   StatusProbe statusProbe, Scheduler& scheduler)
        : ServiceManager(std::move(agent), std::move(mainApp), std::move(statusProbe), scheduler, Timings{}) {
    }

    AppServiceBackend& agent() const noexcept { return *agent_; }
    AppServiceBackend& mainApp() const noexcept { return *mainApp_; }

    // Registers and starts the agent. A service left waiting for the user's approval is no error: the
    // user is shown where to give it.
    QCoro::Task<Result<void, PlatformError>> registerAgent();
    // Unregisters the agent, registers it again (one retry) and waits until it answers.
    QCoro::Task<Result<void, ServiceFailure>> restartAgent();

private:
    QCoro::Task<Result<void, ServiceFailure>> registerAgain();
    QCoro::Task<Result<void, ServiceFailure>> waitUntilAnswering();
    bool awaitsApproval() const { return agent_->status() == ServiceStatus::requiresApproval; }

    const std::shared_ptr<AppServiceBackend> agent_;
    const std::shared_ptr<AppServiceBackend> mainApp_;
    const StatusProbe statusProbe_;
    Scheduler& scheduler_;
    const Timings timings_;
};

} // namespace kestrava::app
