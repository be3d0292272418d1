// Not a test: renders every window of the application in each of its states, with made-up data, into
// PNG files for a person to look at (./scripts/screens).
#include "agent-core/runtime/AgentEnvironment.hpp"
#include "app/menu/AboutView.hpp"
#include "app/menu/MenuView.hpp"
#include "app/menu/RevokeConfirmation.hpp"
#include "app/menu/SettingsView.hpp"
#include "app/menu/StatusImage.hpp"
#include "app/menu/TrayApp.hpp"
#include "app/onboarding/OnboardingWindow.hpp"
#include "app/onboarding/StepPairView.hpp"
#include "app/pairing/PairingView.hpp"
#include "app/pairing/PairingWindow.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/ApplicationLook.hpp"
#include "app/ui/SelectableLine.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedOnboarding.hpp"
#include "tests/app-support/ScriptedPairingService.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <filesystem>
#include <functional>
#include <iostream>

namespace {

using namespace kestrava;
using namespace std::chrono_literals;

std::filesystem::path folder;
// Whether every window so far fitted the free area of its screen with nothing cut off.
bool allFitted = true;

void settle() {
    test::runQtUntil([] { return false; }, {}, 150ms);
}

QString sizeText(QSize size) {
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// Whether `widget` lies in the content of a scroll area inside `window`, where scrolling reaches it.
bool scrolledTo(const QWidget& widget, const QWidget& window) {
    for (const QWidget* inside = &widget; inside && inside != &window; inside = inside->parentWidget()) {
        const auto* scroll = qobject_cast<const QAbstractScrollArea*>(inside->parentWidget());
        if (scroll && scroll->viewport() == inside) {
            return true;
        }
    }
    return false;
}

// What keeps `window` from being seen whole: a frame larger than its screen's free area, a shown part cut
// off at the window's edge, or a scroll area's content wider than the scroll area shows.
QStringList faultsOf(QWidget& window) {
    QStringList faults;
    const QSize frame = window.frameGeometry().size();
    const QSize free = window.screen()->availableGeometry().size();
    if (frame.width() > free.width() || frame.height() > free.height()) {
        faults << QStringLiteral("its frame %1 is larger than the free area %2")
                      .arg(sizeText(frame), sizeText(free));
    }
    for (const QWidget* part : window.findChildren<QWidget*>()) {
        if (!part->isVisibleTo(&window) || scrolledTo(*part, window)) {
            continue;
        }
        const QRect placed(part->mapTo(&window, QPoint(0, 0)), part->size());
        if (!window.rect().contains(placed)) {
            faults << QStringLiteral("%1 \"%2\" is cut off at the window's edge")
                          .arg(QString::fromLatin1(part->metaObject()->className()), part->objectName());
        }
        const auto* scroll = qobject_cast<const QScrollArea*>(part);
        if (scroll && scroll->widget() && scroll->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
            scroll->widget()->width() > scroll->viewport()->width()) {
            faults << QStringLiteral("the content of the scroll area \"%1\" is cut off at its right")
                          .arg(part->objectName());
        }
    }
    return faults;
}

// Says on standard error what keeps the window `name` from being seen whole once it had a moment to settle:
// on a busy machine the window manager may tell its frame late.
void checkFits(QWidget& window, const std::string& name) {
    QStringList faults;
    test::runQtUntil([&] { return (faults = faultsOf(window)).isEmpty(); }, {}, 3s);
    for (const QString& fault : faults) {
        std::cerr << "kestrava-screens: " << name << ": " << fault.toStdString() << "\n";
    }
    allFitted = allFitted && faults.isEmpty();
}

void save(QWidget& window, const std::string& name) {
    settle();
    const auto file = folder / (name + ".png");
    window.grab().save(QString::fromStdString(file.string()));
    std::cout << file.string() << "\n";
    checkFits(window, name);
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
    pairingWindow("qr-link-selected", none, [](auto&, app::PairingWindow& window) {
        for (auto* link : window.findChildren<app::ui::SelectableLine*>("link")) {
            if (link->isVisible()) {
                link->selectAll();
            }
        }
    });
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

// The bottom right of the screen where the tray's panel with five phones stands above a click in a bottom
// tray: as it opens, and after an alert appeared in it while it was open, grown upwards from the same bottom
// edge as far as the screen leaves room, its list of phones lower beyond that.
void panelGrowingAtABottomTray() {
    test::AppStateForViews views;
    views.agentService->current = app::ServiceStatus::enabled;
    const std::vector<PhoneInfo> phones{phone(1), phone(2), phone(3), phone(4), phone(5)};
    views.agentAnswers(statusWith({ConnectionState::Connected{}}), phones, std::nullopt, false);
    app::Updater updater(std::make_unique<NoUpdates>(), false);
    app::TrayApp tray(views.state, updater, views.scheduler);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();
    const QPoint click = area.bottomRight() - QPoint(14, 6);
    tray.togglePanelAt(area.topLeft() + (click - area.topLeft()) * screen->devicePixelRatio());
    const QRect corner(area.bottomRight() - QPoint(479, 639), QSize(480, 640));
    const auto saveCorner = [&](const std::string& name) {
        settle();
        const auto file = folder / (name + ".png");
        screen->grabWindow(0, corner.x(), corner.y(), corner.width(), corner.height())
            .save(QString::fromStdString(file.string()));
        std::cout << file.string() << "\n";
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowTitle() == QLatin1String("Kestrava")) {
                checkFits(*window, name);
            }
        }
    };
    saveCorner("panel-bottom-tray");
    views.agentAnswers(statusWith({ConnectionState::Error{"TLS handshake failed: certificate verify failed "
                                                          "(unable to get local issuer certificate)"}}),
                       phones, std::nullopt, false);
    saveCorner("panel-bottom-tray-grown");
}

// The tray's shield in each state, at the tray's size, on a light and a dark bar.
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

// The question before a phone's removal, for each way the removal would reach the relay.
void revokeDialogs() {
    const std::vector<std::pair<app::RelayLink, std::string>> links{
        {app::RelayLink::connected, "connected"},
        {app::RelayLink::offline, "offline"},
        {app::RelayLink::configLost, "config-lost"}};
    for (const auto& [link, name] : links) {
        app::RevokeDialog dialog(phone(1), link);
        dialog.show();
        save(dialog, "revoke-" + name);
    }
}

void menus() {
    menu("connected", statusWith({ConnectionState::Connected{}}), 2);
    menu("no-phones", statusWith({ConnectionState::Connected{}}), 0);
    menu("five-phones", statusWith({ConnectionState::Connected{}}), 5);
    // The highest the panel gets: five phones under the longest alert, a failed action and a sleep warning.
    menu("five-phones-every-notice",
         statusWith(
             {ConnectionState::Error{"TLS handshake failed: certificate verify failed (unable to get local "
                                     "issuer certificate) while connecting to relay.kestrava.example:443"}},
             false),
         5, [](test::AppStateForViews& views) { views.run(views.state->revoke("phone-1")); });
    menu("reconnecting-may-sleep", statusWith({ConnectionState::Reconnecting{12}}, false), 1);
    menu("paused", statusWith({ConnectionState::Paused{}}, true, true), 1);
    menu("agent-unreachable", std::nullopt, 0);
    menu("config-lost", statusWith({ConnectionState::Error{"configLost"}}), 3);
    menu("relay-error", statusWith({ConnectionState::Error{"TLS handshake failed: certificate expired"}}), 1);
    menu("relay-error-long",
         statusWith(
             {ConnectionState::Error{"TLS handshake failed: certificate verify failed (unable to get local "
                                     "issuer certificate) while connecting to relay.kestrava.example:443"}}),
         1);
    menu("removed-by-relay", statusWith({ConnectionState::RemovedByRelay{}}), 0);
    menu("identity-conflict", statusWith({ConnectionState::IdentityConflict{}}), 1);
    menu("revoke-refused", statusWith({ConnectionState::Connected{}}), 2,
         [](test::AppStateForViews& views) { views.run(views.state->revoke("phone-1")); });

    // The agent's service not registered, as the next refresh finds it.
    const auto serviceOff = [](test::AppStateForViews& views) {
        views.agentService->current = app::ServiceStatus::notRegistered;
        views.run(views.state->refresh());
    };
    menu("agent-not-enabled", std::nullopt, 0, serviceOff);
    menu("agent-not-enabled-start-failed", std::nullopt, 0, [&](test::AppStateForViews& views) {
        serviceOff(views);
        views.agentService->registerFailures = {
            app::PlatformError{"Process org.freedesktop.systemd1 exited with status 1",
                               app::PlatformError::Cause::noServiceManager}};
        views.run(views.state->enableAgent());
    });
    menu("service-not-enabled", statusWith({ConnectionState::Connected{}}), 1, serviceOff);
    menu("service-blocked", statusWith({ConnectionState::Connected{}}), 1, [](test::AppStateForViews& views) {
        views.agentService->current = app::ServiceStatus::requiresApproval;
        views.run(views.state->refresh());
    });
    menu("config-lost-no-phones", statusWith({ConnectionState::Error{"configLost"}}), 0);
    menu("removed-by-relay-with-phones", statusWith({ConnectionState::RemovedByRelay{}}), 2);
    AgentStatus onBattery = statusWith({ConnectionState::Connected{}}, false);
    onBattery.snapshot.isLaptop = true;
    menu("on-battery", onBattery, 1);
    AgentStatus sleepUnread = statusWith({ConnectionState::Connected{}}, false);
    sleepUnread.snapshot.pmsetSleep = -1;
    menu("sleep-unknown", sleepUnread, 1);
}

// The guide's window over scripted services that `prepare` sets, driven to a state by `drive`. The
// services are never freed: the flow's work may still run on them after the picture is taken.
void onboarding(const std::string& name, const std::function<void(test::ScriptedOnboarding&)>& prepare,
                const std::function<void(app::OnboardingWindow&)>& drive = {}) {
    test::AppStateForViews views;
    views.agentHolds({}, std::nullopt);
    auto* scripted = new test::ScriptedOnboarding(views.scheduler);
    prepare(*scripted);
    const auto pairing = std::make_shared<test::ScriptedPairingService>();
    pairing->window =
        app::AgentClient::PairingWindow{"kestrava://pair?v=1&u=https%3A%2F%2Frelay.kestrava.example"
                                        "&d=4F3A9C2E-81B7-4D0A-9E55-2C1F7B6D8A90&s=q8Xr2LmN0vT5yB7w",
                                        wallClockNow() + 287s, views.client->liveConnection()};
    app::OnboardingWindow window(
        views.state, views.scheduler, [scripted] { return scripted->environment(); }, pairing);
    window.show();
    settle();
    if (drive) {
        drive(window);
        settle();
    }
    save(window, "onboarding-" + name);
    scripted->admin->letGo();
}

// Runs the flow's operation, as a button of the page would.
std::function<void(app::OnboardingWindow&)> pressing(const char* button) {
    return [button](app::OnboardingWindow& window) { click(window, button); };
}

// Moves the guide `steps` steps on without doing them, then acts with `then`.
std::function<void(app::OnboardingWindow&)> skipping(int steps,
                                                     std::function<void(app::OnboardingWindow&)> then = {}) {
    return [steps, then](app::OnboardingWindow& window) {
        for (int step = 0; step < steps; ++step) {
            window.flow()->skip();
            settle();
        }
        if (then) {
            then(window);
        }
    };
}

void onboardingWindows() {
    const auto none = [](test::ScriptedOnboarding&) {};
    onboarding("agent-pending", none);
    onboarding("agent-working", none, pressing("turnOn"));
    onboarding(
        "agent-done", [](auto& scripted) { scripted.agent->readyAt = 0s; }, pressing("turnOn"));
    onboarding(
        "agent-needs-approval",
        [](auto& scripted) { scripted.service->statusAfterRegister = app::ServiceStatus::requiresApproval; },
        pressing("turnOn"));
    onboarding(
        "agent-needs-approval-copied",
        [](auto& scripted) { scripted.service->statusAfterRegister = app::ServiceStatus::requiresApproval; },
        [](app::OnboardingWindow& window) {
            click(window, "turnOn");
            settle();
            click(window, "copyCommand");
        });
    onboarding(
        "agent-failed",
        [](auto& scripted) {
            scripted.service->registerFailure =
                app::PlatformError{"Process org.freedesktop.systemd1 exited with status 1",
                                   app::PlatformError::Cause::noServiceManager};
            scripted.service->statusAfterRegister = app::ServiceStatus::notRegistered;
        },
        pressing("turnOn"));
    onboarding("agent-relocated", [](auto& scripted) { scripted.bundlePath = "/media/lan/USB/Kestrava"; });
    onboarding(
        "agent-relocated-move-failed",
        [](auto& scripted) {
            scripted.bundlePath = "/media/lan/USB/Kestrava";
            scripted.moveAnswer = app::uiText("Không chép được vào Applications — hãy kéo Kestrava vào "
                                              "Applications bằng Finder rồi mở lại.");
        },
        pressing("move"));
    onboarding(
        "power-desktop", [](auto& scripted) { scripted.sleepMinutes = 30; }, skipping(1));
    onboarding(
        "power-laptop",
        [](auto& scripted) {
            scripted.facts.isLaptop = true;
            scripted.sleepMinutes = -1;
        },
        skipping(1));
    onboarding(
        "power-working", [](auto& scripted) { scripted.admin->held = true; }, skipping(1, pressing("apply")));
    onboarding(
        "power-done", [](auto& scripted) { scripted.sleepMinutes = 0; }, skipping(1, pressing("apply")));
    onboarding(
        "power-skipped", [](auto& scripted) { scripted.admin->answer = app::PowerSetupResult::cancelled(); },
        skipping(1, pressing("apply")));
    onboarding(
        "power-failed",
        [](auto& scripted) {
            scripted.admin->answer = app::PowerSetupResult::failed("Error executing command as another user: "
                                                                   "Not authorized");
        },
        skipping(1, pressing("apply")));
    onboarding(
        "fda-waiting", [](auto& scripted) { scripted.agent->fullDiskAccess = false; }, skipping(2));
    onboarding("fda-done", none, skipping(2));
    onboarding(
        "fda-skipped", [](auto& scripted) { scripted.agent->fullDiskAccess = false; },
        skipping(3, [](app::OnboardingWindow& window) { window.flow()->back(); }));
    onboarding("pair-qr", none, skipping(3));
    onboarding("pair-done", none, skipping(3, [](app::OnboardingWindow& window) {
                   window.flow()->setPairState(app::StepState::done());
               }));
    // A phone approved in place: the outcome, and the line that says the step is done.
    onboarding("pair-approved", none, skipping(3, [](app::OnboardingWindow& window) {
                   auto* page = qobject_cast<app::StepPairView*>(window.content()->page());
                   page->pairing()->model()->observe(waiting("iPhone của Lan", 300s));
                   settle();
                   click(window, "allow");
               }));
    onboarding(
        "summary-ready",
        [](auto& scripted) {
            scripted.agent->readyAt = 0s;
            scripted.sleepMinutes = 0;
            scripted.facts.autoLoginUser = "lan";
        },
        [](app::OnboardingWindow& window) {
            click(window, "turnOn");
            settle();
            skipping(4)(window);
        });
    onboarding(
        "summary-warnings",
        [](auto& scripted) {
            scripted.facts = app::SystemFacts{true, std::nullopt, true};
            scripted.sleepMinutes = 10;
            scripted.service->statusAfterRegister = app::ServiceStatus::requiresApproval;
            scripted.admin->answer = app::PowerSetupResult::failed("exit 1");
            scripted.agent->phonesLatency = 0s;
        },
        [](app::OnboardingWindow& window) {
            click(window, "turnOn");
            settle();
            window.flow()->next(); // past what the footer would allow, to show each state on the summary
            settle();
            click(window, "apply");
            settle();
            for (int step = 0; step < 3; ++step) {
                window.flow()->next();
                settle();
            }
        });
}

// The settings window over the agent answering `status` with `phoneCount` phones; `drive` acts on it.
void settings(const std::string& name, const std::optional<AgentStatus>& status, int phoneCount,
              bool powerApplied,
              const std::function<void(test::AppStateForViews&, app::SettingsView&)>& drive = {}) {
    test::AppStateForViews views;
    views.agentService->current = app::ServiceStatus::enabled;
    std::vector<PhoneInfo> phones;
    for (int n = 1; n <= phoneCount; ++n) {
        phones.push_back(phone(n));
    }
    views.agentAnswers(status, phones, std::nullopt);
    if (powerApplied) {
        views.state->defaults().setBoolean("powerApplied", true);
        views.state->defaults().setText("powerAppliedFlags", "-a");
    }
    const auto admin = std::make_shared<test::ScriptedAdmin>();
    admin->answer = app::PowerSetupResult::failed("nothing to undo");
    app::SettingsView view(
        views.state, admin, [](const QString&) {}, [](const PhoneInfo&, app::RelayLink) { return false; });
    view.setWindowTitle(app::uiText("Cài đặt Kestrava"));
    view.show();
    if (drive) {
        drive(views, view);
    }
    save(view, "settings-" + name);
}

void settingsWindows() {
    settings("connected", statusWith({ConnectionState::Connected{}}), 2, true);
    settings("five-phones-may-sleep", statusWith({ConnectionState::Connected{}}, false), 5, false);
    settings("agent-unreachable", std::nullopt, 0, false);
    settings("undo-failed", statusWith({ConnectionState::Connected{}}), 1, true,
             [](test::AppStateForViews&, app::SettingsView& view) {
                 click(view, "undo");
                 settle();
             });
}

void aboutWindows() {
    // This program has no Info.json of its own: the window shows the versions the built application reads
    // from its own, and an agent of the same build.
    const QString builtVersions = app::appVersionText(bundleInfoOf(KESTRAVA_APP_PATH));
    for (const bool reachable : {true, false}) {
        test::AppStateForViews views;
        AgentStatus status = statusWith({ConnectionState::Connected{}});
        status.agentVersion = builtVersions.toStdString();
        views.agentAnswers(reachable ? std::optional(status) : std::nullopt, {}, std::nullopt);
        app::AboutView view(views.state);
        view.findChild<QLabel*>(QStringLiteral("appVersion"))->setText(builtVersions);
        view.setWindowTitle(app::uiText("Giới thiệu Kestrava"));
        view.show();
        save(view, reachable ? "about" : "about-agent-unreachable");
    }
}

} // namespace

// Usage: kestrava-screens [--font-px N] [folder]; the desktop's font, N pixels high, stands in for the
// desktop's own.
int main(int argc, char** argv) {
    std::optional<int> fontPx;
    folder = "screens";
    for (int arg = 1; arg < argc; ++arg) {
        if (std::string(argv[arg]) == "--font-px" && arg + 1 < argc) {
            fontPx = std::stoi(argv[++arg]);
        } else {
            folder = argv[arg];
        }
    }
    std::filesystem::create_directories(folder);
    // A real X server when there is one (the script starts a virtual one), so fonts and styles are a
    // desktop's.
    if (qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    test::ensureQtApplication();
    if (fontPx) {
        QFont desktop = QApplication::font();
        desktop.setPixelSize(*fontPx);
        QApplication::setFont(desktop);
    }
    app::ui::applyApplicationLook(*qApp);
    // Reviewed as the application's users see it.
    QLocale::setDefault(QLocale(QLocale::Vietnamese, QLocale::Vietnam));
    pairingWindows();
    onboardingWindows();
    settingsWindows();
    aboutWindows();
    menus();
    revokeDialogs();
    trayIcons();
    panelGrowingAtABottomTray();
    return allFitted ? 0 : 1;
}
