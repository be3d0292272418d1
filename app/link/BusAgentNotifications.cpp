#include "app/link/BusAgentNotifications.hpp"

#include "agent-core/control/AgentXPC.hpp"
#include "agent-core/control/NotificationSignal.hpp"
#include "app/runtime/AppLog.hpp"

#include <QDBusError>
#include <utility>

namespace kestrava::app {

BusAgentNotifications::BusAgentNotifications(QDBusConnection bus) : bus_(std::move(bus)) {}

BusAgentNotifications::~BusAgentNotifications() {
    unsubscribeAll();
}

void BusAgentNotifications::subscribe(Handler handler) {
    handlers_.push_back(std::move(handler));
    if (connected_) {
        return;
    }
    if (!bus_.isConnected()) {
        static bool logged = false;
        if (!std::exchange(logged, true)) {
            appLog(AppLogLevel::warning, "AgentLink",
                   "no session bus (" + bus_.lastError().message().toStdString() +
                       "): the agent's changes are seen at the next refresh");
        }
        return;
    }
    connected_ = true;
    const bool changes = connectSignal(AgentXPC::changedNotification(), SLOT(changed()), true);
    const bool requests = connectSignal(AgentXPC::pairingRequestNotification(), SLOT(pairingRequest()), true);
    if (!changes || !requests) {
        appLog(AppLogLevel::warning, "AgentLink",
               "cannot follow the agent's signals: " + bus_.lastError().message().toStdString());
    }
}

void BusAgentNotifications::unsubscribeAll() {
    handlers_.clear();
    if (std::exchange(connected_, false)) {
        connectSignal(AgentXPC::changedNotification(), SLOT(changed()), false);
        connectSignal(AgentXPC::pairingRequestNotification(), SLOT(pairingRequest()), false);
    }
}

bool BusAgentNotifications::connectSignal(const std::string& notificationName, const char* slot,
                                          bool connecting) {
    const NotificationSignal signal = notificationSignal(notificationName);
    const auto path = QString::fromStdString(signal.path);
    const auto interface = QString::fromStdString(signal.interface);
    const auto member = QString::fromStdString(signal.member);
    return connecting ? bus_.connect({}, path, interface, member, this, slot)
                      : bus_.disconnect({}, path, interface, member, this, slot);
}

void BusAgentNotifications::changed() {
    deliver(AgentEvent::changed);
}

void BusAgentNotifications::pairingRequest() {
    deliver(AgentEvent::pairingRequest);
}

void BusAgentNotifications::deliver(AgentEvent event) {
    // A handler may unsubscribe.
    const auto handlers = handlers_;
    for (const auto& handler : handlers) {
        handler(event);
    }
}

} // namespace kestrava::app
