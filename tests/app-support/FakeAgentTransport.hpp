#pragma once

#include "app/async/Scheduler.hpp"
#include "app/link/AgentEvent.hpp"
#include "app/link/AgentXPCTransport.hpp"

#include <memory>
#include <string>
#include <vector>

namespace kestrava::test {

// One message an application sent through the fake transport, with the means to answer it.
struct SentMessage {
    std::string method;
    std::vector<std::string> arguments; // as text: "true", "false" or the string itself
    int connection = 0;                 // 1 for the first connection made, and so on
    app::AgentXPCProtocol::Reply<app::AgentXPCProtocol::Data> data;
    app::AgentXPCProtocol::Reply<std::optional<std::string>, double> opened;
    app::AgentXPCProtocol::Reply<bool> flag;
    app::AgentXPCConnection::OnError onError;
};

// Connections that record every message and answer only when the test says so.
class FakeAgentTransport final : public app::AgentXPCTransport {
public:
    struct Made {
        app::Scheduler::Clock::time_point at;
        std::function<void()> onInterruption;
        std::function<void()> onInvalidation;
        bool invalidated = false;
    };

    explicit FakeAgentTransport(app::Scheduler& scheduler) : scheduler(scheduler) {}

    std::shared_ptr<app::AgentXPCConnection> makeConnection(std::function<void()> onInterruption,
                                                            std::function<void()> onInvalidation) override;

    // Fails every message still unanswered on connection `number`, as a link that breaks does.
    void failInFlight(int number, const std::string& description);

    app::Scheduler& scheduler;
    bool proxies = true; // false: the agent cannot be reached at all
    // When set, hears each message as it is sent, and may answer it at once.
    std::function<void(SentMessage&)> onSent;
    std::vector<std::shared_ptr<Made>> made;
    std::vector<SentMessage> sent;
};

// Announcements the test makes.
class FakeNotifications final : public app::AgentNotificationSource {
public:
    void subscribe(Handler handler) override { handlers.push_back(std::move(handler)); }
    void unsubscribeAll() override { handlers.clear(); }

    void announce(app::AgentEvent event) {
        for (const auto& handler : handlers) {
            handler(event);
        }
    }

    std::vector<Handler> handlers;
};

} // namespace kestrava::test
