#include "tests/app-support/AppStateForViews.hpp"

#include "agent-core/control/XPCCoding.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"

namespace kestrava::test {

AppStateForViews::AppStateForViews()
    : transport((ensureQtApplication(), std::make_shared<FakeAgentTransport>(scheduler))),
      client(app::AgentClient::make(transport, std::make_shared<FakeNotifications>(), scheduler)) {
    const auto manager = std::make_shared<app::ServiceManager>(
        agentService, std::make_shared<FakeServiceBackend>(), [client = client] { return client->status(); },
        scheduler);
    state = app::AppState::make(manager, client, std::make_shared<app::Defaults>(folder / "Kestrava.conf"),
                                scheduler);
}

void AppStateForViews::agentHolds(const std::vector<PhoneInfo>& phones,
                                  const std::optional<PendingPairingInfo>& pending) {
    AgentStatus status;
    status.connection.value = ConnectionState::Connected{};
    status.macName = "máy-của-lan";
    agentAnswers(status, phones, pending);
}

void AppStateForViews::agentAnswers(const std::optional<AgentStatus>& status,
                                    const std::vector<PhoneInfo>& phones,
                                    const std::optional<PendingPairingInfo>& pending, bool yes) {
    const std::optional<std::string> statusText =
        status ? std::optional(XPCCoding::encode(*status)) : std::nullopt;
    const std::string phonesText = XPCCoding::encode(phones);
    const std::optional<std::string> pendingText =
        pending ? std::optional(XPCCoding::encode(*pending)) : std::nullopt;
    transport->onSent = [=](SentMessage& message) {
        if (!statusText) {
            if (message.data || message.opened || message.flag) {
                message.onError("Connection refused");
            }
        } else if (message.method == "statusWithReply:") {
            message.data(statusText);
        } else if (message.method == "phonesWithReply:") {
            message.data(phonesText);
        } else if (message.method == "pendingPairingWithReply:") {
            message.data(pendingText);
        } else if (message.flag) {
            message.flag(yes);
        }
    };
    run(state->refresh());
}

void AppStateForViews::run(QCoro::Task<> task) {
    const Started done(std::move(task));
    runQtUntil([&] { return done.done(); });
}

} // namespace kestrava::test
