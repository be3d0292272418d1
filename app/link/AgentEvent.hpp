#pragma once

#include <functional>

namespace kestrava::app {

// What the agent announces: something the application shows changed, or a phone waits for a decision.
enum class AgentEvent { changed, pairingRequest };

// Where the agent's announcements come from.
class AgentNotificationSource {
public:
    using Handler = std::function<void(AgentEvent)>;

    virtual ~AgentNotificationSource() = default;
    // The handler hears both announcements, on the interface thread.
    virtual void subscribe(Handler handler) = 0;
    // Removes every handler subscribed so far; a second call removes nothing.
    virtual void unsubscribeAll() = 0;
};

} // namespace kestrava::app
