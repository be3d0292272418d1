#include "tests/app-support/FakeAgentTransport.hpp"

namespace kestrava::test {
namespace {

using app::AgentXPCProtocol;

class FakeProxy final : public AgentXPCProtocol {
public:
    FakeProxy(FakeAgentTransport& transport, int connection, app::AgentXPCConnection::OnError onError)
        : transport_(transport), connection_(connection), onError_(std::move(onError)) {}

    void statusWithReply(Reply<Data> reply) override {
        record("statusWithReply:", {}, [&](SentMessage& sent) { sent.data = std::move(reply); });
    }
    void openPairingWithReply(Reply<std::optional<std::string>, double> reply) override {
        record("openPairingWithReply:", {}, [&](SentMessage& sent) { sent.opened = std::move(reply); });
    }
    void cancelPairing() override { record("cancelPairing", {}); }
    void decideWithRequestId(const std::string& requestId, bool approve, Reply<Data> reply) override {
        record("decideWithRequestId:approve:reply:", {requestId, approve ? "true" : "false"},
               [&](SentMessage& sent) { sent.data = std::move(reply); });
    }
    void phonesWithReply(Reply<Data> reply) override {
        record("phonesWithReply:", {}, [&](SentMessage& sent) { sent.data = std::move(reply); });
    }
    void revokeWithPhoneId(const std::string& phoneId, Reply<bool> reply) override {
        record("revokeWithPhoneId:reply:", {phoneId},
               [&](SentMessage& sent) { sent.flag = std::move(reply); });
    }
    void setMonitoringPaused(bool paused) override {
        record("setMonitoringPaused:", {paused ? "true" : "false"});
    }
    void reregisterWithReply(Reply<bool> reply) override {
        record("reregisterWithReply:", {}, [&](SentMessage& sent) { sent.flag = std::move(reply); });
    }
    void hasFullDiskAccessWithReply(Reply<bool> reply) override {
        record("hasFullDiskAccessWithReply:", {}, [&](SentMessage& sent) { sent.flag = std::move(reply); });
    }
    void pendingPairingWithReply(Reply<Data> reply) override {
        record("pendingPairingWithReply:", {}, [&](SentMessage& sent) { sent.data = std::move(reply); });
    }

private:
    // Records the message; `answer` hands it its reply function before the test hears of it.
    template<class Answer>
    void record(std::string method, std::vector<std::string> arguments, Answer answer) {
        SentMessage& message = transport_.sent.emplace_back(
            SentMessage{std::move(method), std::move(arguments), connection_, {}, {}, {}, onError_});
        answer(message);
        if (transport_.onSent) {
            transport_.onSent(message);
        }
    }
    void record(std::string method, std::vector<std::string> arguments) {
        record(std::move(method), std::move(arguments), [](SentMessage&) {});
    }

    FakeAgentTransport& transport_;
    const int connection_;
    const app::AgentXPCConnection::OnError onError_;
};

class FakeConnection final : public app::AgentXPCConnection {
public:
    FakeConnection(FakeAgentTransport& transport, int number) : transport_(transport), number_(number) {}

    std::shared_ptr<AgentXPCProtocol> proxy(OnError onError) override {
        if (!transport_.proxies) {
            return nullptr;
        }
        return std::make_shared<FakeProxy>(transport_, number_, std::move(onError));
    }
    void invalidate() override { transport_.made[static_cast<std::size_t>(number_ - 1)]->invalidated = true; }
    // Each message reaches the test as it is sent.
    bool hasUnwrittenRequests() override { return false; }

private:
    FakeAgentTransport& transport_;
    const int number_;
};

} // namespace

std::shared_ptr<app::AgentXPCConnection>
FakeAgentTransport::makeConnection(std::function<void()> onInterruption,
                                   std::function<void()> onInvalidation) {
    made.push_back(
        std::make_shared<Made>(Made{scheduler.now(), std::move(onInterruption), std::move(onInvalidation)}));
    return std::make_shared<FakeConnection>(*this, static_cast<int>(made.size()));
}

void FakeAgentTransport::failInFlight(int number, const std::string& description) {
    for (auto& message : sent) {
        if (message.connection == number && (message.data || message.opened || message.flag)) {
            message.data = {};
            message.opened = {};
            message.flag = {};
            message.onError(description);
        }
    }
}

} // namespace kestrava::test
