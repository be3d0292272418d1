#include "agent-core/control/XPCCoding.hpp"
#include "app/async/QtScheduler.hpp"
#include "app/runtime/UiText.hpp"
#include "app/state/AppState.hpp"
#include "app/system/BusSystemdUserManager.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "tests/app-support/FakeAgentTransport.hpp"
#include "tests/app-support/FakeServiceBackend.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::ServiceStatus;
using app::StatusIconState;
using test::SentMessage;

AgentStatus statusWith(ConnectionState connection, bool paused = false) {
    AgentStatus status;
    status.connection = std::move(connection);
    status.macName = "máy-lan";
    status.monitoringPaused = paused;
    return status;
}

PhoneInfo phone(std::string id) {
    return PhoneInfo{std::move(id), "Lan", timestampFromSeconds(1'700'000'000), std::nullopt};
}

// The agent behind the fake link: answers each message from these fields, or leaves it for the test when
// `holding`. A field that holds an error fails its message with it.
struct ScriptedAgent {
    using Reply = std::variant<std::optional<std::string>, app::AgentClientError>;

    Reply status = std::optional<std::string>(XPCCoding::encode(statusWith({ConnectionState::Connected{}})));
    Reply phones = std::optional<std::string>("[]");
    Reply pending = std::optional<std::string>();
    bool refuses = false; // what revoke and reregister answer: true unless this
    bool holding = false; // messages stay unanswered
    int passes = 0;

    void answer(SentMessage& message) {
        if (holding) {
            return;
        }
        if (message.method == "statusWithReply:") {
            ++passes;
            reply(message, status);
        } else if (message.method == "phonesWithReply:") {
            reply(message, phones);
        } else if (message.method == "pendingPairingWithReply:") {
            reply(message, pending);
        } else if (message.flag) {
            message.flag(!refuses);
        }
    }

    static void reply(SentMessage& message, const Reply& with) {
        if (const auto* error = std::get_if<app::AgentClientError>(&with)) {
            if (error->kind != app::AgentClientError::Kind::timeout) { // a time-out: no answer at all
                message.onError(error->text);
            }
        } else {
            message.data(std::get<0>(with));
        }
    }
};

class AppStateTest : public testing::Test {
protected:
    AppStateTest() {
        test::ensureQtApplication();
        transport->onSent = [this](SentMessage& message) { agent.answer(message); };
    }
    ~AppStateTest() override {
        state.reset();
        scheduler.advance(1min);
        manager.reset();
        client.reset();
        scheduler.advance(1min);
    }

    // Runs `task` to its end on the virtual clock.
    void run(QCoro::Task<> task) {
        const test::Started started(std::move(task));
        for (int i = 0; i < 10'000 && !started.done(); ++i) {
            scheduler.advance(10ms);
        }
        EXPECT_TRUE(started.done());
    }

    test::TemporaryDirectory folder;
    test::VirtualScheduler scheduler;
    ScriptedAgent agent;
    std::shared_ptr<test::FakeAgentTransport> transport =
        std::make_shared<test::FakeAgentTransport>(scheduler);
    std::shared_ptr<test::FakeNotifications> notifications = std::make_shared<test::FakeNotifications>();
    std::shared_ptr<app::AgentClient> client = app::AgentClient::make(transport, notifications, scheduler);
    std::shared_ptr<test::FakeServiceBackend> agentService = std::make_shared<test::FakeServiceBackend>();
    std::shared_ptr<test::FakeServiceBackend> appService = std::make_shared<test::FakeServiceBackend>();
    std::shared_ptr<app::ServiceManager> manager = std::make_shared<app::ServiceManager>(
        agentService, appService, [client = client] { return client->status(); }, scheduler);
    std::shared_ptr<app::Defaults> defaults = std::make_shared<app::Defaults>(folder / "Kestrava.conf");
    std::shared_ptr<app::AppState> state = app::AppState::make(manager, client, defaults, scheduler);
};

// Calls made while a pass runs share exactly one more pass, and each returns only after it.
TEST_F(AppStateTest, RefreshesCoalesce) {
    agent.holding = true;
    const test::Started first(state->refresh());
    scheduler.runPosted();
    std::vector<test::Started<void>> during;
    for (int i = 0; i < 3; ++i) {
        during.emplace_back(state->refresh());
    }
    ASSERT_EQ(transport->sent.size(), 1u); // the pass waits for its status
    agent.holding = false;
    agent.answer(transport->sent[0]);
    scheduler.advance(1s);
    EXPECT_TRUE(first.done());
    for (const auto& call : during) {
        EXPECT_TRUE(call.done());
    }
    EXPECT_EQ(agent.passes, 2);
    run(state->refresh());
    EXPECT_EQ(agent.passes, 3);
}

// Each call of a pass is made whatever the others gave; the first failure names the pass's error, a
// failed status clears it, and failed lists keep what they held.
TEST_F(AppStateTest, APassKeepsWhatFailedAndReportsTheFirstFailure) {
    const PendingPairingInfo waiting{"req-1", "Lan", "123456", 1'700'000'110'000};
    agent.phones = std::optional(XPCCoding::encode(std::vector<PhoneInfo>{phone("p1")}));
    agent.pending = std::optional(XPCCoding::encode(waiting));
    const auto before = wallClockNow();
    run(state->refresh());
    EXPECT_TRUE(state->status().has_value());
    EXPECT_EQ(state->phones(), std::vector<PhoneInfo>{phone("p1")});
    EXPECT_EQ(state->pendingPairing(), waiting);
    EXPECT_EQ(state->lastError(), std::nullopt);
    ASSERT_TRUE(state->lastUpdated().has_value());
    EXPECT_GE(*state->lastUpdated(), before);
    const auto updated = state->lastUpdated();

    agent.status = app::AgentClientError::timeout();
    agent.phones = std::optional<std::string>("{}");
    run(state->refresh());
    EXPECT_EQ(state->status(), std::nullopt);
    EXPECT_EQ(state->phones(), std::vector<PhoneInfo>{phone("p1")});
    EXPECT_EQ(state->lastError(), app::uiText("Agent không phản hồi"));
    EXPECT_EQ(state->lastUpdated(), updated);

    agent.status = std::optional(XPCCoding::encode(statusWith({ConnectionState::Paused{}})));
    agent.phones = std::optional<std::string>("[]");
    agent.pending = app::AgentClientError::connection("gone");
    run(state->refresh());
    EXPECT_TRUE(state->status().has_value());
    EXPECT_TRUE(state->phones().empty());
    EXPECT_EQ(state->pendingPairing(), waiting);
    EXPECT_EQ(state->lastError(), app::uiText("Không kết nối được agent"));
}

// Started once: the first pass at once, then one every 15 s, and one after each burst of events.
TEST_F(AppStateTest, StartFollowsEventsAndPolls) {
    state->start();
    state->start();
    scheduler.runPosted();
    EXPECT_EQ(agent.passes, 1);
    scheduler.advance(15s);
    EXPECT_EQ(agent.passes, 2);
    notifications->announce(app::AgentEvent::pairingRequest);
    notifications->announce(app::AgentEvent::changed);
    scheduler.advance(1s);
    EXPECT_EQ(agent.passes, 4); // one per event of the burst
}

// The actions leave their failure as a text once the refreshed state is in place.
TEST_F(AppStateTest, ActionsReportTheirFailures) {
    // A re-registration refused while phones are paired names them; refused with none listed, a
    // registration is already under way and nothing is wrong.
    agent.refuses = true;
    agent.phones = std::optional(XPCCoding::encode(std::vector<PhoneInfo>{phone("p1")}));
    run(state->reregister());
    EXPECT_EQ(state->actionError(), app::uiText("Không đăng ký lại được: vẫn còn iPhone đã ghép"));
    agent.phones = std::optional<std::string>("[]");
    run(state->reregister());
    EXPECT_EQ(state->actionError(), std::nullopt);

    // A phone the agent did not remove is a failure the user sees.
    run(state->revoke("p1"));
    EXPECT_EQ(transport->sent.back().method, "pendingPairingWithReply:");
    EXPECT_EQ(state->actionError(), app::uiText("Không gỡ được iPhone — thử lại"));
    agent.refuses = false;
    run(state->revoke("p1"));
    EXPECT_EQ(state->actionError(), std::nullopt);

    // A restart that fails shows in both texts.
    agentService->current = ServiceStatus::enabled;
    agentService->unregisterFailure = app::PlatformError{"Access denied"};
    run(state->restartAgent());
    EXPECT_EQ(state->actionError(), QStringLiteral("Access denied"));
    EXPECT_EQ(state->lastError(), QStringLiteral("Access denied"));

    run(state->setMonitoringPaused(true));
    EXPECT_EQ(state->actionError(), std::nullopt);
    transport->proxies = false;
    run(state->setMonitoringPaused(false));
    EXPECT_EQ(state->actionError(), app::uiText("Không kết nối được agent"));
}

// Enabling the agent, and the application's own start at login.
TEST_F(AppStateTest, TheServicesFollowTheirRealState) {
    agentService->statusAfterRegister = ServiceStatus::requiresApproval;
    run(state->enableAgent());
    EXPECT_EQ(state->serviceStatus(), ServiceStatus::requiresApproval);
    EXPECT_EQ(agent.passes, 0);
    EXPECT_EQ(state->lastError(), std::nullopt);
    EXPECT_EQ(state->serviceStatusText(), app::uiText("Cần duyệt trong Login Items"));
    EXPECT_EQ(agentService->calls, (std::vector<std::string>{"register", "openSettings"}));

    agentService->current = ServiceStatus::notRegistered;
    agentService->statusAfterRegister = ServiceStatus::enabled;
    run(state->enableAgent());
    EXPECT_EQ(state->serviceStatus(), ServiceStatus::enabled);
    EXPECT_EQ(state->serviceStatusText(), std::nullopt);
    EXPECT_EQ(agent.passes, 1);

    // A failure shows until the next switch: off while not registered calls nothing and clears it, and so
    // does a success.
    for (const bool enabled : {false, true}) {
        appService->calls.clear();
        appService->registerFailures = {app::PlatformError{"read-only file system"}};
        run(state->setLaunchAtLogin(true));
        EXPECT_EQ(state->actionError(), QStringLiteral("read-only file system"));
        EXPECT_FALSE(state->launchAtLogin());
        run(state->setLaunchAtLogin(enabled));
        EXPECT_EQ(appService->calls, std::vector<std::string>(enabled ? 2 : 1, "register"));
        EXPECT_EQ(state->actionError(), std::nullopt);
        EXPECT_EQ(state->launchAtLogin(), enabled);
    }
}

// After an update the restart's failure shows in both texts, set after the refresh that follows the
// attempt (which found nothing wrong); a version already settled restarts and refreshes nothing.
TEST_F(AppStateTest, ARestartAfterAnUpdateRefreshesThenShowsItsFailure) {
    agentService->current = ServiceStatus::enabled;
    agentService->unregisterFailure = app::PlatformError{"Access denied"};
    run(state->checkAfterUpdate("0.2.0"));
    EXPECT_EQ(agent.passes, 1);
    EXPECT_EQ(state->actionError(), QStringLiteral("Access denied"));
    EXPECT_EQ(state->lastError(), QStringLiteral("Access denied"));

    agentService->calls.clear();
    run(state->checkAfterUpdate("0.2.0"));
    EXPECT_TRUE(agentService->calls.empty());
    EXPECT_EQ(agent.passes, 1);
}

TEST_F(AppStateTest, TheShieldFollowsTheRelayLink) {
    EXPECT_EQ(state->statusIcon(), StatusIconState::red);
    const std::vector<std::pair<AgentStatus, StatusIconState>> table{
        {statusWith({ConnectionState::Connected{}}), StatusIconState::green},
        {statusWith({ConnectionState::Connected{}}, true), StatusIconState::green},
        {statusWith({ConnectionState::Reconnecting{8}}), StatusIconState::yellow},
        {statusWith({ConnectionState::Error{"configLost"}}), StatusIconState::red},
        {statusWith({ConnectionState::RemovedByRelay{}}), StatusIconState::red},
        {statusWith({ConnectionState::IdentityConflict{}}), StatusIconState::red},
        {statusWith({ConnectionState::Paused{}}), StatusIconState::paused},
    };
    for (const auto& [status, icon] : table) {
        agent.status = std::optional(XPCCoding::encode(status));
        run(state->refresh());
        EXPECT_EQ(state->statusIcon(), icon) << XPCCoding::encode(status);
    }
}

// A field notifies only when it changes; the onboarding flag is stored on every write.
TEST_F(AppStateTest, FieldsNotifyOnlyWhenTheyChange) {
    int changes = 0;
    int pendingChanges = 0;
    QObject::connect(state.get(), &app::AppState::changed, [&] { ++changes; });
    QObject::connect(state.get(), &app::AppState::pendingPairingChanged, [&] { ++pendingChanges; });
    run(state->refresh());
    const int afterFirst = changes;
    EXPECT_GT(afterFirst, 0);
    run(state->refresh());
    EXPECT_EQ(changes, afterFirst + 1); // the same answers: only the time of the update moved
    EXPECT_EQ(pendingChanges, 0);

    defaults->remove("onboardingDone");
    state->setOnboardingDone(false);
    EXPECT_EQ(changes, afterFirst + 1);
    EXPECT_EQ(defaults->boolean("onboardingDone"), false);
    state->setOnboardingDone(true);
    EXPECT_EQ(changes, afterFirst + 2);
    EXPECT_TRUE(app::AppState::make(manager, client, defaults, scheduler)->onboardingDone());
}

// "Bật agent" in a session whose bus has no service manager for the user: the state says so in
// Vietnamese, the bus's own words after it.
TEST(AppStateWithTheUnitOnABus, EnablingWithoutAServiceManagerSaysWhy) {
    test::ensureQtApplication();
    const test::PrivateSessionBus bus;
    const test::TemporaryDirectory folder;
    test::writeText(folder / "kestrava-agent", "#!/bin/sh\n");
    app::QtScheduler scheduler;
    const QString connectionName = QStringLiteral("no-user-manager");
    const auto unit = std::make_shared<app::SystemdUserUnit>(
        std::make_shared<app::BusSystemdUserManager>(
            QDBusConnection::connectToBus(QString::fromStdString(bus.address()), connectionName)),
        scheduler, folder / "config", folder / "kestrava-agent", 10s,
        app::SystemUnitFolders{folder / "etc", folder / "usr"});
    const auto client = app::AgentClient::make(std::make_shared<test::FakeAgentTransport>(scheduler),
                                               std::make_shared<test::FakeNotifications>(), scheduler);
    const auto manager = std::make_shared<app::ServiceManager>(
        unit, std::make_shared<test::FakeServiceBackend>(), [client] { return client->status(); }, scheduler);
    const auto state = app::AppState::make(
        manager, client, std::make_shared<app::Defaults>(folder / "Kestrava.conf"), scheduler);

    const test::Started enabling(state->enableAgent());
    ASSERT_TRUE(test::runQtUntil([&] { return enabling.done(); }));
    const std::string said =
        app::uiText("Phiên đăng nhập này không có trình quản lý dịch vụ của người dùng (systemd --user)")
            .toStdString() +
        "\n";
    const std::string error = state->lastError().value_or(QString()).toStdString();
    EXPECT_TRUE(error.starts_with(said)) << error;
    EXPECT_NE(error.find("org.freedesktop.systemd1", said.size()), std::string::npos) << error;
    EXPECT_EQ(state->serviceStatus(), ServiceStatus::notRegistered);
    QDBusConnection::disconnectFromBus(connectionName);
}

} // namespace
} // namespace kestrava
