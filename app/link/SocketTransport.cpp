#include "app/link/SocketTransport.hpp"

#include "agent-core/control/AgentXPCClient.hpp"
#include "agent-core/control/ControlSocketPath.hpp"

#include <utility>

namespace kestrava::app {
namespace {

// `callback` run on the scheduler's thread, whichever thread calls the result; dropped once the scheduler
// is gone, since a reply may come after the application's loop has ended.
template<class... Values>
std::function<void(Values...)> onSchedulerThread(const Scheduler::Post& post,
                                                 std::function<void(Values...)> callback) {
    return [post, callback = std::move(callback)](Values... values) {
        post([callback, ... values = std::move(values)] { callback(values...); });
    };
}

// The ten messages over one client; every callback made through it lands on the scheduler's thread.
class SocketProxy final : public AgentXPCProtocol {
public:
    SocketProxy(std::shared_ptr<AgentXPCClient> client, Scheduler::Post post,
                AgentXPCConnection::OnError onError)
        : client_(std::move(client)), post_(std::move(post)),
          onError_(onSchedulerThread<const std::string&>(post_, std::move(onError))) {}

    void statusWithReply(Reply<Data> reply) override { client_->status(hop(std::move(reply)), onError_); }
    void openPairingWithReply(Reply<std::optional<std::string>, double> reply) override {
        client_->openPairing(hop(std::move(reply)), onError_);
    }
    void cancelPairing() override { client_->cancelPairing(onError_); }
    void decideWithRequestId(const std::string& requestId, bool approve, Reply<Data> reply) override {
        client_->decide(requestId, approve, hop(std::move(reply)), onError_);
    }
    void phonesWithReply(Reply<Data> reply) override { client_->phones(hop(std::move(reply)), onError_); }
    void revokeWithPhoneId(const std::string& phoneId, Reply<bool> reply) override {
        client_->revoke(phoneId, hop(std::move(reply)), onError_);
    }
    void setMonitoringPaused(bool paused) override { client_->setMonitoringPaused(paused, onError_); }
    void reregisterWithReply(Reply<bool> reply) override {
        client_->reregister(hop(std::move(reply)), onError_);
    }
    void hasFullDiskAccessWithReply(Reply<bool> reply) override {
        client_->hasFullDiskAccess(hop(std::move(reply)), onError_);
    }
    void pendingPairingWithReply(Reply<Data> reply) override {
        client_->pendingPairing(hop(std::move(reply)), onError_);
    }

private:
    template<class... Values>
    std::function<void(Values...)> hop(std::function<void(Values...)> reply) {
        return onSchedulerThread<Values...>(post_, std::move(reply));
    }

    const std::shared_ptr<AgentXPCClient> client_;
    const Scheduler::Post post_;
    const std::function<void(const std::string&)> onError_;
};

class SocketConnection final : public AgentXPCConnection {
public:
    SocketConnection(std::shared_ptr<AgentXPCClient> client, Scheduler::Post post)
        : client_(std::move(client)), post_(std::move(post)) {}
    ~SocketConnection() override { invalidate(); }

    std::shared_ptr<AgentXPCProtocol> proxy(OnError onError) override {
        if (!client_) {
            return nullptr;
        }
        return std::make_shared<SocketProxy>(client_, post_, std::move(onError));
    }

    void invalidate() override {
        if (client_) {
            client_->invalidate();
        }
    }

    bool hasUnwrittenRequests() override { return client_ && client_->hasUnwrittenRequests(); }

private:
    const std::shared_ptr<AgentXPCClient> client_; // none when there is no socket to connect to
    const Scheduler::Post post_;
};

} // namespace

SocketTransport::SocketTransport(Scheduler& scheduler, Locate locate)
    : post_(scheduler.poster()), locate_(std::move(locate)) {}

std::optional<std::filesystem::path> SocketTransport::currentPath() {
    return ControlSocketPath::current().path;
}

// Every end of a socket connection is an interruption: the agent went away or broke the rules. A socket
// that cannot be connected to fails the calls made through it, which ends the connection just as well.
std::shared_ptr<AgentXPCConnection>
SocketTransport::makeConnection(std::function<void()> onInterruption,
                                std::function<void()> /*onInvalidation*/) {
    const auto path = locate_();
    if (!path) {
        return std::make_shared<SocketConnection>(nullptr, post_);
    }
    auto client = std::make_shared<AgentXPCClient>(
        *path, [post = post_, onInterruption](const std::string&) { post(onInterruption); });
    return std::make_shared<SocketConnection>(std::move(client), post_);
}

} // namespace kestrava::app
