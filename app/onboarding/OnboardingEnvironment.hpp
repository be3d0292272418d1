#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "app/link/AgentClientError.hpp"
#include "app/state/Defaults.hpp"
#include "app/system/AdminRunner.hpp"
#include "app/system/ServiceManager.hpp"
#include "app/system/SystemFacts.hpp"

#include <QCoro/QCoroTask>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::app {

// What the first-run guide asks of the agent.
class OnboardingAgent {
public:
    virtual ~OnboardingAgent() = default;

    // Only whether it answers counts.
    virtual QCoro::Task<AgentResult<AgentStatus>> status() = 0;
    virtual QCoro::Task<AgentResult<std::vector<PhoneInfo>>> phones() = 0;
    virtual QCoro::Task<AgentResult<bool>> hasFullDiskAccess() = 0;
};

// What the first-run guide asks of the agent's user service.
class OnboardingService {
public:
    virtual ~OnboardingService() = default;

    virtual ServiceStatus agentStatus() const = 0;
    virtual QCoro::Task<Result<void, ServiceFailure>> registerAgent() = 0;
    virtual QCoro::Task<Result<void, ServiceFailure>> restartAgent() = 0;
};

// Everything the first-run guide reaches outside itself, so that it can run against stand-ins.
struct OnboardingEnvironment {
    using Duration = std::chrono::steady_clock::duration;

    std::shared_ptr<OnboardingAgent> agent;
    std::shared_ptr<OnboardingService> service;
    std::shared_ptr<AdminRunner> admin;
    // Never fail: what cannot be told is absent.
    std::function<QCoro::Task<SystemFacts>()> facts;
    // Minutes of idleness before the machine sleeps: 0 never, -1 unknown.
    std::function<QCoro::Task<std::int64_t>()> currentSleep;
    // Where the power settings record what they did.
    std::shared_ptr<Defaults> defaults;
    // The pause between two polls, and the longest pause between two probes of a starting agent.
    Duration pollInterval = std::chrono::seconds(2);
    // How long one wait for a starting agent may last.
    Duration agentStartTimeout = std::chrono::seconds(15);
    // The folder the running application was started from.
    std::string bundlePath;
    // Copies the application to its installed place and starts the copy; a text says what failed.
    std::function<QCoro::Task<std::optional<QString>>()> moveToApplications;
};

} // namespace kestrava::app
