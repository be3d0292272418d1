#include "agent-core/control/ChangeNotifications.hpp"

#include "agent-core/control/AgentXPC.hpp"
#include "agent-core/control/NotificationSignal.hpp"
#include "platform/dbus/SignalPoster.hpp"

namespace kestrava {
namespace {

void post(const NotificationSignal& signal) {
    static dbus::SignalPoster poster;
    poster.post(signal.interface, signal.member, signal.path);
}

} // namespace

void postChanged() {
    static const NotificationSignal signal = notificationSignal(AgentXPC::changedNotification());
    post(signal);
}

void postPairingRequest() {
    static const NotificationSignal signal = notificationSignal(AgentXPC::pairingRequestNotification());
    post(signal);
}

} // namespace kestrava
