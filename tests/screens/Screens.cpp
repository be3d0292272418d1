// Not a test: renders every window of the application in each of its states, with made-up data, into
// PNG files for a person to look at (./scripts/screens).
#include "app/pairing/PairingWindow.hpp"
#include "app/runtime/Translations.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedPairingService.hpp"

#include <QApplication>
#include <QPushButton>
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
    app::installTranslations(*QCoreApplication::instance());
    pairingWindows();
    return 0;
}
