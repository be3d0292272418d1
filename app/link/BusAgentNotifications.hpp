#pragma once

#include "app/link/AgentEvent.hpp"

#include <QDBusConnection>
#include <QObject>
#include <vector>

namespace kestrava::app {

// The agent's announcements as the signals it broadcasts on the user's session bus. Without a bus there
// are none (logged once); the application's periodic refresh still follows the agent.
class BusAgentNotifications final : public QObject, public AgentNotificationSource {
    Q_OBJECT

public:
    explicit BusAgentNotifications(QDBusConnection bus = QDBusConnection::sessionBus());
    ~BusAgentNotifications() override;

    void subscribe(Handler handler) override;
    void unsubscribeAll() override;

private slots:
    void changed();
    void pairingRequest();

private:
    void deliver(AgentEvent event);
    // False when the bus refused the subscription.
    bool connectSignal(const std::string& notificationName, const char* slot, bool connecting);

    QDBusConnection bus_;
    std::vector<Handler> handlers_;
    bool connected_ = false;
};

} // namespace kestrava::app
