#include "agent-core/control/AgentXPC.hpp"
#include "agent-core/control/NotificationSignal.hpp"
#include "app/async/QtScheduler.hpp"
#include "app/link/AgentClient.hpp"
#include "app/link/BusAgentNotifications.hpp"
#include "app/link/SocketTransport.hpp"
#include "app/state/AppState.hpp"
#include "tests/app-support/FakeServiceBackend.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/RelayPhone.hpp"
#include "tests/support/ServedAgent.hpp"
#include "tests/support/SignalListener.hpp"

#include <gtest/gtest.h>

#include <QDBusConnection>

namespace kestrava {
namespace {

using app::AgentEvent;

// Reads the application's event stream into `heard` until it finishes.
QCoro::Task<> listen(std::shared_ptr<app::BoundedChannel<AgentEvent>> events,
                     std::shared_ptr<std::vector<AgentEvent>> heard, std::shared_ptr<bool> finished) {
    while (const auto event = co_await events->next()) {
        heard->push_back(*event);
    }
    *finished = true;
}

template<class T>
T awaited(QCoro::Task<T> task) {
    const test::Started started(std::move(task));
    EXPECT_TRUE(test::runQtUntil([&] { return started.done(); }));
    return started.result();
}

// The real agent running as a service with the tests' relay, on a session bus of the test's own.
class RealAgent : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(served.start());
        ASSERT_TRUE(served.waitUntilConnected());
        test::ensureQtApplication();
    }

    // The application's client of that agent, resuming on `scheduler`.
    std::shared_ptr<app::AgentClient> clientOn(app::Scheduler& scheduler, const QString& busName) {
        return app::AgentClient::make(
            std::make_shared<app::SocketTransport>(
                scheduler, [this] { return std::optional(test::agentControlSocket(served.home.path())); }),
            std::make_shared<app::BusAgentNotifications>(
                QDBusConnection::connectToBus(QString::fromStdString(bus.address()), busName)),
            scheduler);
    }

    test::PrivateSessionBus bus;
    test::FakeRelay relay;
    test::ServedAgent served{relay};
};

// The application's client against the real agent: the agent's replies decode, its announcements arrive as
// events (a pairing request before the change that follows it), and a pairing window the application opened
// ends when its connection does.
TEST_F(RealAgent, TheApplicationsClientDrivesTheAgent) {
    app::QtScheduler scheduler;
    auto client = clientOn(scheduler, QStringLiteral("app-tests"));
    const auto heard = std::make_shared<std::vector<AgentEvent>>();
    const auto finished = std::make_shared<bool>(false);
    listen(client->events(), heard, finished);

    const auto status = awaited(client->status());
    ASSERT_TRUE(status.ok()) << static_cast<int>(status.error().kind) << status.error().text;
    EXPECT_EQ(status.value().connection, ConnectionState{ConnectionState::Connected{}});
    EXPECT_EQ(status.value().agentVersion.rfind(KESTRAVA_VERSION, 0), 0u) << status.value().agentVersion;
    EXPECT_TRUE(status.value().deviceId.has_value());

    // Pairing from the application's side.
    const auto window = awaited(client->openPairing());
    ASSERT_TRUE(window.ok());
    EXPECT_GT(window.value().expiresAt, wallClockNow() + std::chrono::seconds(290));
    ASSERT_TRUE(test::runQtUntil([&] { return !heard->empty(); }));
    heard->clear();
    test::RelayPhone phone(relay);
    phone.requestPairing(window.value().link, "req-1", "Điện thoại của Lan");
    const auto request = [&] { return std::find(heard->begin(), heard->end(), AgentEvent::pairingRequest); };
    ASSERT_TRUE(test::runQtUntil([&] { return request() != heard->end() && request() + 1 != heard->end(); }));
    EXPECT_EQ(*(request() + 1), AgentEvent::changed);
    const auto pending = awaited(client->pendingPairing());
    ASSERT_TRUE(pending.ok() && pending.value().has_value());
    EXPECT_EQ(pending.value()->sas, phone.confirmationCode());
    EXPECT_EQ(pending.value()->phoneName, "Điện thoại của Lan");
    const auto outcome = awaited(client->decide("req-1", true));
    ASSERT_TRUE(outcome.ok());
    ASSERT_TRUE(std::holds_alternative<PairingOutcome::Approved>(outcome.value().value));

    const auto phones = awaited(client->phones());
    ASSERT_TRUE(phones.ok());
    ASSERT_EQ(phones.value().size(), 1u);
    EXPECT_EQ(phones.value()[0].name, "Điện thoại của Lan");
    EXPECT_EQ(phones.value()[0].phoneId, std::get<PairingOutcome::Approved>(outcome.value().value).phoneId);

    // A window the application opened closes when the application goes away: the agent announces the
    // change, and a phone that comes later is refused.
    const auto second = awaited(client->openPairing());
    ASSERT_TRUE(second.ok());
    test::SignalListener announcements(bus.address(),
                                       notificationSignal(AgentXPC::changedNotification()).interface);
    while (announcements.next(std::chrono::milliseconds(300))) {
    }
    client.reset();
    ASSERT_TRUE(announcements.next().has_value());
    const auto logged = served.agent->output().size();
    test::RelayPhone late(relay);
    late.requestPairing(second.value().link, "req-2", "Too late");
    EXPECT_TRUE(served.agent->waitForOutput("pairing request req-2 denied (no window",
                                            std::chrono::seconds(10), logged));
    EXPECT_TRUE(test::runQtUntil([&] { return *finished; }));
}

// The application's state follows the real agent: a pause made by another client of the socket, and a
// phone paired by the tests' phone, reach it through the agent's announcements.
TEST_F(RealAgent, TheApplicationsStateFollowsTheAgent) {
    test::VirtualScheduler scheduler;
    test::TemporaryDirectory folder;
    auto client = clientOn(scheduler, QStringLiteral("app-state-tests"));
    auto state = app::AppState::make(
        std::make_shared<app::ServiceManager>(
            std::make_shared<test::FakeServiceBackend>(), std::make_shared<test::FakeServiceBackend>(),
            [client] { return client->status(); }, scheduler),
        client, std::make_shared<app::Defaults>(folder / "Kestrava.conf"), scheduler);
    state->start();
    // The state's clock moves 10 ms each turn of the loop, so the 15 s poll stays out of the way.
    const auto follows = [&](const std::function<bool()>& done) {
        return test::runQtUntil(done, [&] { scheduler.advance(std::chrono::milliseconds(10)); });
    };
    ASSERT_TRUE(follows([&] { return state->statusIcon() == app::StatusIconState::green; }));

    served.client->setMonitoringPaused(true);
    EXPECT_TRUE(follows([&] { return state->statusIcon() == app::StatusIconState::paused; }));
    served.client->setMonitoringPaused(false);
    EXPECT_TRUE(follows([&] { return state->statusIcon() == app::StatusIconState::green; }));

    test::RelayPhone phone(relay);
    ASSERT_TRUE(served.pair(phone, "req-1", "iPhone của Lan"));
    EXPECT_TRUE(follows([&] { return state->phones().size() == 1; }));
    EXPECT_EQ(state->phones()[0].name, "iPhone của Lan");
    EXPECT_EQ(state->pendingPairing(), std::nullopt);

    state.reset();
    client.reset();
    scheduler.advance(std::chrono::minutes(1)); // the poll wakes, finds no state and ends
}

} // namespace
} // namespace kestrava
