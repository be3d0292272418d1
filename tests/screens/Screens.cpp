// Not a test: renders every window of the application in each of its states, with made-up data, into
// PNG files for a person to look at (./scripts/screens).
#include "app/menu/MenuView.hpp"
#include "app/menu/StatusImage.hpp"
#include "app/pairing/PairingWindow.hpp"
#include "app/runtime/Translations.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedPairingService.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <functional>
#include <iostream>

namespace {

using namespace kestrava;
using namespace std::chrono_literals;

std::filesystem::path folder;

void settle() {
    test::runQtUntil([] { return false; }, {}, 150ms);
}

void save(QWidget& window, const std::string& name) {
    settle();
    const auto file = folder / (name + ".png");
    window.grab().save(QString::fromStdString(file.string()));
    std::cout << file.string() << "\n";
}

PhoneInfo phone(int n) {
    return PhoneInfo{"phone-" + std::to_string(n), "iPhone " + std::to_string(n), wallClockNow(),
                     std::nullopt};
}

PendingPairingInfo waiting(std::string name, std::chrono::seconds left) {
    return PendingPairingInfo{"req-1", std::move(name), "482913",
                              millisecondsSince1970(wallClockNow() + left)};
}

// One pairing window, its agent answering as `prepare` sets, driven to a state by `drive`.
void pairingWindow(const std::string& name, const std::function<void(test::ScriptedPairingService&)>& prepare,
                   const std::function<void(test::AppStateForViews&, app::PairingWindow&)>& drive = {}) {
    test::AppStateForViews views;
    views.agentHolds({phone(1)}, std::nullopt);
    const auto service = std::make_shared<test::ScriptedPairingService>();
    service->window = app::AgentClient::PairingWindow{
        "kestrava://pair?v=1&u=https%3A%2F%2Frelay.kestrava.example&d=4F3A9C2E-81B7-4D0A-9E55-2C1F7B6D8A90"
        "&s=q8Xr2LmN0vT5yB7wK1zH4cD9fG3jP6sA2eU8iO0lQ5M&n=M%C3%A1y%20c%E1%BB%A7a%20Lan",
        wallClockNow() + 287s, views.client->liveConnection()};
    prepare(*service);
    app::PairingWindow window(views.state, service);
    window.show();
    settle();
    if (drive) {
        drive(views, window);
    }
    save(window, "pairing-" + name);
}

void click(QWidget& window, const char* button) {
    for (auto* found : window.findChildren<QPushButton*>(button)) {
        if (found->isVisible()) {
            found->click();
            return;
        }
    }
}

void pairingWindows() {
    const auto none = [](test::ScriptedPairingService&) {};
    const auto card = [](std::string phoneName, std::chrono::seconds left) {
        return [=](test::AppStateForViews& views, app::PairingWindow&) {
            views.agentHolds({phone(1)}, waiting(phoneName, left));
        };
    };
    pairingWindow("opening", [](auto& service) { service.holdOpening = true; });
    pairingWindow("qr", none);
    pairingWindow("qr-copied", none, [](auto&, app::PairingWindow& window) { click(window, "copy"); });
    pairingWindow("card", none, card("iPhone của Lan", 300s));
    pairingWindow("card-running-out", none, card("iPhone của Lan", 15s));
    pairingWindow(
        "card-long-hostile-name", none,
        card("<b>Điện thoại</b><br><img src=x> của một người có cái tên rất dài **thật** dài", 300s));
    for (const bool approve : {true, false}) {
        pairingWindow(
            approve ? "deciding-allow" : "deciding-deny", [](auto& service) { service.holdDecision = true; },
            [&](test::AppStateForViews& views, app::PairingWindow& window) {
                card("iPhone của Lan", 300s)(views, window);
                click(window, approve ? "allow" : "deny");
            });
    }
    const std::vector<std::pair<std::string, PairingOutcome>> outcomes{
        {"approved", {PairingOutcome::Approved{"phone-2"}}},
        {"denied-phone-limit", {PairingOutcome::Denied{PairingDenial::phoneLimit}}},
        {"denied-not-pending", {PairingOutcome::Denied{PairingDenial::notPending}}},
        {"denied-expired", {PairingOutcome::Denied{PairingDenial::expired}}},
        {"denied-user", {PairingOutcome::Denied{PairingDenial::userDenied}}},
        {"denied-save-failed", {PairingOutcome::Denied{PairingDenial::saveFailed}}},
    };
    for (const auto& [name, outcome] : outcomes) {
        pairingWindow(
            "result-" + name, [outcome = outcome](auto& service) { service.outcome = outcome; },
            [&](test::AppStateForViews& views, app::PairingWindow& window) {
                card("iPhone của Lan", 300s)(views, window);
                click(window, "allow");
            });
    }
    pairingWindow("result-approved-fifth-phone", none,
                  [&](test::AppStateForViews& views, app::PairingWindow& window) {
                      card("iPhone của Lan", 300s)(views, window);
                      click(window, "allow");
                      settle();
                      views.agentHolds({phone(1), phone(2), phone(3), phone(4), phone(5)}, std::nullopt);
                  });
    pairingWindow(
        "decision-unknown", [](auto& service) { service.outcome = app::AgentClientError::timeout(); },
        [&](test::AppStateForViews& views, app::PairingWindow& window) {
            card("iPhone của Lan", 300s)(views, window);
            click(window, "allow");
        });
    pairingWindow("failed", [](auto& service) { service.window = app::AgentClientError::unavailable(); });
    pairingWindow(
        "expired",
        [](auto& service) {
            service.window = app::AgentClient::PairingWindow{"kestrava://pair?v=1", wallClockNow() - 1s, 1};
        },
        [](auto&, auto&) { test::runQtUntil([] { return false; }, {}, 1200ms); });
    pairingWindow("limit-reached", none, [](test::AppStateForViews& views, app::PairingWindow& window) {
        views.agentHolds({phone(1), phone(2), phone(3), phone(4), phone(5)}, std::nullopt);
        window.view()->model()->open(5, std::nullopt);
    });
}

// Where the menu's update command would lead: nowhere, here.
class NoUpdates final : public app::UpdateBackend {
public:
    bool canCheckForUpdates() const override { return false; }
    void checkForUpdates() override {}
};

AgentStatus statusWith(ConnectionState connection, bool sleepSafe = true, bool paused = false) {
    AgentStatus status;
    status.connection = std::move(connection);
    status.macName = "Máy tính của Lan";
    status.snapshot.sleepSafe = sleepSafe;
    status.snapshot.pmsetSleep = sleepSafe ? 0 : 30;
    status.monitoringPaused = paused;
    return status;
}

// The tray's panel with the agent answering `status` and listing `phoneCount` phones; `drive` acts on it.
void menu(const std::string& name, const std::optional<AgentStatus>& status, int phoneCount,
          const std::function<void(test::AppStateForViews&)>& drive = {}) {
    test::AppStateForViews views;
    views.agentService->current = app::ServiceStatus::enabled;
    std::vector<PhoneInfo> phones;
    for (int n = 1; n <= phoneCount; ++n) {
        phones.push_back(phone(n));
    }
    if (!phones.empty()) {
        phones.front().name = "iPhone của Lan có một cái tên rất dài không vừa một dòng";
        phones.front().lastUsed = wallClockNow() - 26h;
    }
    views.agentAnswers(status, phones, std::nullopt, false);
    if (drive) {
        drive(views);
    }
    app::Updater updater(std::make_unique<NoUpdates>(), false);
    QWidget panel;
    auto* layout = new QVBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new app::MenuView(
        views.state, updater, [](const QString&) {}, [] {},
        [](const PhoneInfo&, app::RelayLink) { return false; }, &panel));
    panel.show();
    save(panel, "menu-" + name);
}

// The tray's shield in each state, at the tray's size and larger, on a light and a dark bar.
void trayIcons() {
    const std::vector<std::pair<app::StatusIconState, std::string>> states{
        {app::StatusIconState::green, "green"},
        {app::StatusIconState::yellow, "yellow"},
        {app::StatusIconState::red, "red"},
        {app::StatusIconState::paused, "paused"}};
    for (const auto& [state, name] : states) {
        QWidget strip;
        strip.setFixedSize(120, 40);
        auto* layout = new QHBoxLayout(&strip);
        for (const auto& background : {QStringLiteral("#f2f2f2"), QStringLiteral("#2b2b2b")}) {
            auto* bar = new QLabel(&strip);
            bar->setStyleSheet(QStringLiteral("background: %1;").arg(background));
            bar->setAlignment(Qt::AlignCenter);
            bar->setPixmap(app::statusImage(state).pixmap(15, 15));
            bar->setToolTip(app::spokenText(state));
            layout->addWidget(bar);
        }
        strip.show();
        save(strip, "tray-" + name);
    }
}

void menus() {
    menu("connected", statusWith({ConnectionState::Connected{}}), 2);
    menu("no-phones", statusWith({ConnectionState::Connected{}}), 0);
    menu("five-phones", statusWith({ConnectionState::Connected{}}), 5);
    menu("reconnecting-may-sleep", statusWith({ConnectionState::Reconnecting{12}}, false), 1);
    menu("paused", statusWith({ConnectionState::Paused{}}, true, true), 1);
    menu("agent-unreachable", std::nullopt, 0);
    menu("config-lost", statusWith({ConnectionState::Error{"configLost"}}), 3);
    menu("relay-error", statusWith({ConnectionState::Error{"TLS handshake failed: certificate expired"}}), 1);
    menu("removed-by-relay", statusWith({ConnectionState::RemovedByRelay{}}), 0);
    menu("identity-conflict", statusWith({ConnectionState::IdentityConflict{}}), 1);
    menu("revoke-refused", statusWith({ConnectionState::Connected{}}), 2,
         [](test::AppStateForViews& views) { views.run(views.state->revoke("phone-1")); });
}

} // namespace

int main(int argc, char** argv) {
    folder = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path("screens");
    std::filesystem::create_directories(folder);
    // A real X server when there is one (the script starts a virtual one), so fonts and styles are a
    // desktop's.
    if (qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    test::ensureQtApplication();
    // Reviewed as the application's users see it.
    QLocale::setDefault(QLocale(QLocale::Vietnamese, QLocale::Vietnam));
    app::installTranslations(*QCoreApplication::instance());
    pairingWindows();
    menus();
    trayIcons();
    return 0;
}
