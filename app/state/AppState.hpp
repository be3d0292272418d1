#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/PendingPairingInfo.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "app/async/Completion.hpp"
#include "app/async/Scheduler.hpp"
#include "app/link/AgentClient.hpp"
#include "app/state/AppError.hpp"
#include "app/state/Defaults.hpp"
#include "app/state/PairingAttempts.hpp"
#include "app/state/StatusIcon.hpp"
#include "app/system/ServiceManager.hpp"
#include "platform/time/Timestamp.hpp"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::app {

// The application's one model of the agent: its last status, its service, the paired phones, the request
// waiting for a decision, the last failure, and the application's own settings. Change events and a 15 s
// poll keep it current through one refresh at a time; the user's actions run here and leave their
// failures as texts. `changed` is emitted after any field took a different value (`pendingPairingChanged`
// also for that field alone). Lives on the interface thread; its loops hold it weakly, and each action keeps
// it alive until it ends.
class AppState final : public QObject, public std::enable_shared_from_this<AppState> {
    Q_OBJECT

public:
    static std::shared_ptr<AppState> make(std::shared_ptr<ServiceManager> serviceManager,
                                          std::shared_ptr<AgentClient> client,
                                          std::shared_ptr<Defaults> defaults, Scheduler& scheduler);

    const std::optional<AgentStatus>& status() const noexcept { return status_; }
    ServiceStatus serviceStatus() const noexcept { return serviceStatus_; }
    const std::vector<PhoneInfo>& phones() const noexcept { return phones_; }
    const std::optional<PendingPairingInfo>& pendingPairing() const noexcept { return pendingPairing_; }
    const std::optional<QString>& lastError() const noexcept { return lastError_; }
    const std::optional<Timestamp>& lastUpdated() const noexcept { return lastUpdated_; }
    const std::optional<QString>& actionError() const noexcept { return actionError_; }
    bool launchAtLogin() const noexcept { return launchAtLogin_; }
    bool onboardingDone() const noexcept { return onboardingDone_; }
    // Stored in the settings on every call, equal or not.
    void setOnboardingDone(bool done);

    ServiceManager& serviceManager() const noexcept { return *serviceManager_; }
    // Shared with the pairing models, which may outlive their view.
    const std::shared_ptr<PairingAttempts>& pairingAttempts() const noexcept { return pairingAttempts_; }
    AgentClient& client() const noexcept { return *client_; }
    Defaults& defaults() const noexcept { return *defaults_; }
    // For what may outlive a call: a view's tasks, the first-run guide's services.
    const std::shared_ptr<AgentClient>& sharedClient() const noexcept { return client_; }
    const std::shared_ptr<Defaults>& sharedDefaults() const noexcept { return defaults_; }

    // Starts following the agent's events and polling it every 15 s, the first pass at once. Once.
    void start();
    // Returns after a refresh pass that began after the call has ended. Calls made while a pass runs
    // share one more pass after it.
    QCoro::Task<> refresh();

    StatusIconState statusIcon() const { return statusIconOf(status_); }
    // What the agent's service status means for the user; none while it is enabled.
    std::optional<QString> serviceStatusText() const;

    // The user's actions. None fails to its caller: failures become `actionError` or `lastError`.
    QCoro::Task<> enableAgent();
    QCoro::Task<> setMonitoringPaused(bool paused);
    QCoro::Task<> reregister();
    QCoro::Task<> revoke(std::string phoneId);
    QCoro::Task<> restartAgent();
    QCoro::Task<> setLaunchAtLogin(bool enabled);
    // Restarts the agent once after the application's version changed (not under a test harness).
    QCoro::Task<> checkAfterUpdate();
    // The same with `version` as the application's, under a test harness too.
    QCoro::Task<> checkAfterUpdate(std::string version);

signals:
    void changed();
    void pendingPairingChanged();

private:
    AppState(std::shared_ptr<ServiceManager> serviceManager, std::shared_ptr<AgentClient> client,
             std::shared_ptr<Defaults> defaults, Scheduler& scheduler);

    template<class T>
    void assign(T& field, T value) {
        if (field != value) {
            field = std::move(value);
            emit changed();
        }
    }
    void setPendingPairing(std::optional<PendingPairingInfo> pending);

    QCoro::Task<> refreshOnce();
    // Runs passes until none more is asked for, then completes `run`.
    static QCoro::Task<> runRefreshes(std::weak_ptr<AppState> weak, std::shared_ptr<Completion> run);
    static QCoro::Task<> observeEvents(std::weak_ptr<AppState> weak,
                                       std::shared_ptr<BoundedChannel<AgentEvent>> events);
    static QCoro::Task<> poll(std::weak_ptr<AppState> weak, Scheduler* scheduler);
    // The shared end of an action: its failure as a text, set once the refreshed state is in place.
    QCoro::Task<> finishAction(std::optional<AppError> failure);

    const std::shared_ptr<ServiceManager> serviceManager_;
    const std::shared_ptr<AgentClient> client_;
    const std::shared_ptr<Defaults> defaults_;
    Scheduler& scheduler_;

    std::optional<AgentStatus> status_;
    ServiceStatus serviceStatus_;
    std::vector<PhoneInfo> phones_;
    std::optional<PendingPairingInfo> pendingPairing_;
    std::optional<QString> lastError_;
    std::optional<Timestamp> lastUpdated_;
    std::optional<QString> actionError_;
    bool launchAtLogin_ = false;
    bool onboardingDone_ = false;

    const std::shared_ptr<PairingAttempts> pairingAttempts_ = std::make_shared<PairingAttempts>();
    bool started_ = false;
    std::shared_ptr<Completion> refreshRun_; // while a run is in progress
    bool refreshAgain_ = false;              // another pass was asked for during this one
};

} // namespace kestrava::app
