#include "app/async/QtScheduler.hpp"
#include "app/link/BusAgentNotifications.hpp"
#include "app/link/SocketTransport.hpp"
#include "app/onboarding/LiveOnboardingEnvironment.hpp"
#include "app/onboarding/OnboardingWindow.hpp"
#include "app/onboarding/StepPairView.hpp"
#include "app/pairing/ApproveViewModel.hpp"
#include "app/pairing/PairingView.hpp"
#include "app/runtime/UiText.hpp"
#include "tests/app-support/FakeServiceBackend.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedOnboarding.hpp"
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/RelayPhone.hpp"
#include "tests/support/ServedAgent.hpp"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QLabel>
#include <QPushButton>

namespace kestrava {
namespace {

using app::OnboardingStep;
using app::StepState;

// The agent's service as the user's service manager would be: registering it starts the real agent.
struct ServiceThatStartsTheAgent final : app::OnboardingService {
    explicit ServiceThatStartsTheAgent(test::ServedAgent& served) : served(served) {}

    app::ServiceStatus agentStatus() const override { return status; }
    QCoro::Task<app::Result<void, app::ServiceFailure>> registerAgent() override {
        if (!served.start()) {
            co_return app::ServiceFailure(app::PlatformError{"the agent did not start"});
        }
        status = app::ServiceStatus::enabled;
        co_return app::Result<void, app::ServiceFailure>{};
    }
    QCoro::Task<app::Result<void, app::ServiceFailure>> restartAgent() override {
        co_return app::ServiceFailure(app::PlatformError{"no restart here"});
    }

    test::ServedAgent& served;
    app::ServiceStatus status = app::ServiceStatus::notRegistered;
};

// The visible button of that name in `window`, or none.
QPushButton* shownButton(QWidget& window, const char* name) {
    for (QPushButton* button : window.findChildren<QPushButton*>(QString::fromLatin1(name))) {
        if (button->isVisibleTo(&window) && button->isEnabled()) {
            return button;
        }
    }
    return nullptr;
}

// The first-run guide against the real agent, from an agent that is not running to a paired phone: the
// user's clicks, the agent's own answers over its socket and announcements on a session bus of the test's
// own, the tests' relay and phone. Only the system's services are stand-ins: the service manager, the
// administrator prompt and the machine's facts.
TEST(OnboardingEndToEnd, FromAgentOffToAPairedPhone) {
    test::ensureQtApplication();
    app::QtScheduler scheduler;
    test::PrivateSessionBus bus;
    test::FakeRelay relay;
    test::ServedAgent served{relay};
    test::EnvironmentOverride desktop{"XDG_CURRENT_DESKTOP", "KDE"};
    auto client = app::AgentClient::make(
        std::make_shared<app::SocketTransport>(
            scheduler, [&] { return std::optional(test::agentControlSocket(served.home.path())); }),
        std::make_shared<app::BusAgentNotifications>(QDBusConnection::connectToBus(
            QString::fromStdString(bus.address()), QStringLiteral("guide-e2e"))),
        scheduler);
    test::ScriptedOnboarding scripted(scheduler);
    auto state = app::AppState::make(std::make_shared<app::ServiceManager>(
                                         std::make_shared<test::FakeServiceBackend>(),
                                         std::make_shared<test::FakeServiceBackend>(),
                                         [client] { return client->status(); }, scheduler),
                                     client, scripted.defaults, scheduler);
    state->start();
    const auto service = std::make_shared<ServiceThatStartsTheAgent>(served);
    auto window = std::make_unique<app::OnboardingWindow>(state, scheduler, [&] {
        app::OnboardingEnvironment environment = app::liveOnboardingEnvironment(state);
        const app::OnboardingEnvironment standIns = scripted.environment();
        environment.service = service;
        environment.admin = standIns.admin;
        environment.facts = standIns.facts;
        environment.currentSleep = standIns.currentSleep;
        environment.bundlePath = standIns.bundlePath;
        return environment;
    });
    window->show();
    const auto flow = [&] { return window->flow(); };
    const auto press = [&](const char* name) {
        QPushButton* button = nullptr;
        EXPECT_TRUE(test::runQtUntil([&] { return (button = shownButton(*window, name)) != nullptr; }))
            << name;
        if (button) {
            button->click();
        }
    };

    press("turnOn");
    ASSERT_TRUE(test::runQtUntil([&] { return flow()->agentState() == StepState::done(); }));
    press("next");
    press("apply");
    ASSERT_TRUE(test::runQtUntil([&] { return flow()->powerState() == StepState::done(); }));
    press("next");
    // The agent reads its user's home: the access step ends by itself.
    ASSERT_TRUE(test::runQtUntil([&] { return flow()->fdaState() == StepState::done(); }));
    press("next");

    auto* page = qobject_cast<app::StepPairView*>(window->content()->page());
    ASSERT_TRUE(page);
    const auto& model = page->pairing()->model();
    const auto* shown = static_cast<const app::PairingViewModel::ShowingQR*>(nullptr);
    ASSERT_TRUE(test::runQtUntil(
        [&] { return (shown = std::get_if<app::PairingViewModel::ShowingQR>(&model->phase())) != nullptr; }));
    test::RelayPhone phone(relay);
    phone.requestPairing(shown->qr, "req-1", "iPhone của Lan");
    ASSERT_TRUE(test::runQtUntil(
        [&] { return std::holds_alternative<app::PairingViewModel::Approving>(model->phase()); }));
    const auto& card = std::get<app::PairingViewModel::Approving>(model->phase()).card;
    EXPECT_EQ(card.sas, app::groupedCode(QString::fromStdString(phone.confirmationCode()))); // both sides
    press("allow");
    ASSERT_TRUE(test::runQtUntil([&] { return flow()->pairState() == StepState::done(); }));
    press("next");
    ASSERT_TRUE(test::runQtUntil([&] { return flow()->step() == OnboardingStep::summary; }));
    for (const auto step :
         {OnboardingStep::agent, OnboardingStep::power, OnboardingStep::fda, OnboardingStep::pair}) {
        EXPECT_EQ(flow()->state(step), StepState::done());
    }
    press("finish");
    EXPECT_TRUE(state->onboardingDone());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(test::runQtUntil([&] { return state->phones().size() == 1; }));
    EXPECT_EQ(state->phones()[0].name, "iPhone của Lan");

    // The agent's event stream ends with the client, and the state's observer of it then lets go: the
    // last wake is posted to this scheduler, so it has to run before the scheduler goes.
    const std::weak_ptr<app::BoundedChannel<app::AgentEvent>> events = client->events();
    window.reset();
    state.reset();
    client.reset();
    EXPECT_TRUE(test::runQtUntil([&] { return events.expired(); }));
}

} // namespace
} // namespace kestrava
