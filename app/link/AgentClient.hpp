#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/PairingOutcome.hpp"
#include "agent-core/control/PendingPairingInfo.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "app/async/BoundedChannel.hpp"
#include "app/async/Scheduler.hpp"
#include "app/link/AgentClientError.hpp"
#include "app/link/AgentEvent.hpp"
#include "app/link/AgentXPCTransport.hpp"
#include "platform/time/Timestamp.hpp"

#include <QCoro/QCoroTask>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::app {

// The application's one link to the agent. It keeps at most one connection, made when a call needs it;
// bounds every reply wait by a time-out; throws the connection away after a failure and makes a new one
// after a back-off that grows with the failures; and decodes the agent's replies. It also turns the
// agent's announcements into one stream of events, a burst of them coalesced. Lives on the interface
// thread; each call keeps the client alive until it ends.
class AgentClient : public std::enable_shared_from_this<AgentClient> {
public:
    using Duration = Scheduler::Clock::duration;

    // How long a reply may take, and how long the announcements of one burst are gathered.
    static constexpr Duration timeout = std::chrono::seconds(10);
    static constexpr Duration debounce = std::chrono::milliseconds(200);

    struct PairingWindow {
        std::string link;    // shown as a QR code
        Timestamp expiresAt; // the agent closes the window then
        int connection = 0;  // the connection that opened it: the agent closes the window when it ends
    };

    static std::shared_ptr<AgentClient> make(std::shared_ptr<AgentXPCTransport> transport,
                                             std::shared_ptr<AgentNotificationSource> notifications,
                                             Scheduler& scheduler);
    // Unsubscribes, finishes the event stream and invalidates the connection.
    ~AgentClient();
    AgentClient(const AgentClient&) = delete;
    AgentClient& operator=(const AgentClient&) = delete;

    QCoro::Task<AgentResult<AgentStatus>> status();
    // `unavailable` when the agent opened no window.
    QCoro::Task<AgentResult<PairingWindow>> openPairing();
    // Sent without waiting for an answer: fails only as `unavailable`.
    QCoro::Task<AgentResult<void>> cancelPairing();
    QCoro::Task<AgentResult<PairingOutcome>> decide(std::string requestId, bool approve);
    QCoro::Task<AgentResult<std::vector<PhoneInfo>>> phones();
    QCoro::Task<AgentResult<bool>> revoke(std::string phoneId);
    // Sent without waiting for an answer: fails only as `unavailable`.
    QCoro::Task<AgentResult<void>> setMonitoringPaused(bool paused);
    QCoro::Task<AgentResult<bool>> reregister();
    QCoro::Task<AgentResult<bool>> hasFullDiskAccess();
    // None when no request waits.
    QCoro::Task<AgentResult<std::optional<PendingPairingInfo>>> pendingPairing();

    // The agent's announcements, each burst within the debounce as at most one `pairingRequest` followed
    // by at most one `changed`; the newest 8 are kept while the reader lags. Finished when the client ends.
    const std::shared_ptr<BoundedChannel<AgentEvent>>& events() const noexcept { return events_; }

    // The live connection's generation; 0 while there is none.
    int liveConnection() const noexcept { return connection_ ? generation_ : 0; }

    // The wait before the next connection after `failures` failures in a row: none, then 0.5 s doubling
    // up to 5 s.
    static Duration backoff(int failures);

private:
    struct Live {
        std::shared_ptr<AgentXPCConnection> connection;
        int generation = 0;
    };

    AgentClient(std::shared_ptr<AgentXPCTransport> transport,
                std::shared_ptr<AgentNotificationSource> notifications, Scheduler& scheduler);

    QCoro::Task<Live> connect();
    // Forgets and invalidates the connection if it is still the one of `generation`.
    void drop(int generation);
    // The reply, and the generation of the connection that carried it.
    template<class T>
    struct Carried {
        T reply;
        int connection = 0;
    };
    // One message that waits for its reply: `send` gets the proxy and the function to hand the reply to.
    template<class T, class Send>
    QCoro::Task<Carried<AgentResult<T>>> callOn(Send send);
    template<class T, class Send>
    QCoro::Task<AgentResult<T>> call(Send send);
    template<class Send>
    QCoro::Task<AgentResult<void>> sendWithoutReply(Send send);
    // Decodes a data reply; `badReply` when it is missing or does not decode.
    template<class T>
    static AgentResult<T> decoded(const AgentResult<std::optional<std::string>>& reply);

    void enqueue(AgentEvent event);
    void flush();

    const std::shared_ptr<AgentXPCTransport> transport_;
    const std::shared_ptr<AgentNotificationSource> notifications_;
    Scheduler& scheduler_;
    std::shared_ptr<AgentXPCConnection> connection_;
    int generation_ = 0; // connections made so far; the live one carries the current value
    int failures_ = 0;   // failures since the last reply in time

    const std::shared_ptr<BoundedChannel<AgentEvent>> events_;
    std::vector<AgentEvent> pendingEvents_; // each event at most once
    Timer debounceTimer_;
};

} // namespace kestrava::app
