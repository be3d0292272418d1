#include "tests/app-support/AppStateForViews.hpp"

#include "agent-core/control/XPCCoding.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"

namespace kestrava::test {

AppStateForViews::AppStateForViews()
    : transport((ensureQtApplication(), std::make_shared<FakeAgentTransport>(scheduler))),
      client(app::AgentClient::make(transport, std::make_shared<FakeNotifications>(), scheduler)) {
    const auto manager = std::make_shared<app::ServiceManager>(
        std::make_shared<FakeServiceBackend>(), std::make_shared<FakeServiceBackend>(),
        [client = client] { return client->status(); }, scheduler);
    state = app::AppState::make(manager, client, std::make_shared<app::Defaults>(folder / "Kestrava.conf"),
                                scheduler);
}

void AppStateForViews::agentHolds(const std::vector<PhoneInfo>& phones,
                                  const std::optional<PendingPairingInfo>& pending) {
    AgentStatus status;
    status.connection.value = ConnectionState::Connected{};
    status.macName = "máy-của-lan";
    const std::string statusText = XPCCoding::encode(status);
    const std::string phonesText = XPCCoding::encode(phones);
    const std::optional<std::string> pendingText =
        pending ? std::optional(XPCCoding::encode(*pending)) : std::nullopt;
    transport->onSent = [=](SentMessage& message) {
        if (message.method == "statusWithReply:") {
            message.data(statusText);
        } else if (message.method == "phonesWithReply:") {
            message.data(phonesText);
        } else if (message.method == "pendingPairingWithReply:") {
            message.data(pendingText);
        }
    };
    const Started refreshed(state->refresh());
    runQtUntil([&] { return refreshed.done(); });
}

} // namespace kestrava::test
