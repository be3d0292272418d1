// The tray application: one per user session; the updater first, then the link to the agent, the agent's
// service and the state that follows them, then the tray that shows it.
#include "agent-core/runtime/TestHarness.hpp"
#include "app/async/QtScheduler.hpp"
#include "app/link/AgentClient.hpp"
#include "app/link/BusAgentNotifications.hpp"
#include "app/link/SocketTransport.hpp"
#include "app/menu/TrayApp.hpp"
#include "app/runtime/AppLog.hpp"
#include "app/runtime/DisplaySession.hpp"
#include "app/runtime/Translations.hpp"
#include "app/state/AppState.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/ApplicationMove.hpp"
#include "app/system/AutostartEntry.hpp"
#include "app/system/BusSystemdUserManager.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "app/system/Updater.hpp"
#include "app/tray/SingleInstance.hpp"
#include "app/ui/ApplicationLook.hpp"
#include "platform/files/UserFolders.hpp"

#include <QApplication>
#include <cstdio>
#include <string>

namespace app = kestrava::app;

namespace {

// The entry the desktop shows the application's windows under; on Wayland it is their app id.
constexpr auto desktopEntry = "com.veltmoran.kestrava";

// Said to whoever started the program and to the journal.
void announce(app::AppLogLevel level, const std::string& message) {
    std::fprintf(stderr, "kestrava: %s\n", message.c_str());
    app::appLog(level, "App", message);
}

} // namespace

int main(int argc, char** argv) {
    // Qt aborts where it finds no display: say why and end.
    const app::DisplayPlatform display = app::chooseDisplayPlatform(app::currentDisplaySession());
    if (display.platform.empty()) {
        announce(app::AppLogLevel::error, display.unreachable);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", display.platform.c_str());
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(desktopEntry));
    app::SingleInstance instance(app::SingleInstance::standardPath());
    // The copy a move started may come up before the instance that started it has gone.
    const bool afterMove =
        QCoreApplication::arguments().contains(QString::fromLatin1(app::afterMoveArgument));
    if (instance.forwardToRunning(afterMove ? std::chrono::seconds(5) : std::chrono::seconds(0))) {
        return 0;
    }
    instance.listen();
    announce(app::AppLogLevel::info, "shows its windows on " + QGuiApplication::platformName().toStdString());
    // Going away takes a while after the last event: the next start runs meanwhile.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &instance,
                     &app::SingleInstance::stepAside);
    QApplication::setQuitOnLastWindowClosed(false);
    app::ui::applyApplicationLook(application);
    if (!app::installTranslations(application)) {
        app::appLog(app::AppLogLevel::error, "App", "the translated texts cannot be loaded");
    }

    app::Updater updater(std::make_unique<app::SoftwareCentreUpdates>(), !kestrava::isRunningUnderTests());
    app::QtScheduler scheduler;
    const auto client = app::AgentClient::make(std::make_shared<app::SocketTransport>(scheduler),
                                               std::make_shared<app::BusAgentNotifications>(), scheduler);
    const auto configHome = kestrava::files::configHome();
    const auto serviceManager = std::make_shared<app::ServiceManager>(
        std::make_shared<app::SystemdUserUnit>(std::make_shared<app::BusSystemdUserManager>(), scheduler,
                                               configHome, app::agentExecutable()),
        std::make_shared<app::AutostartEntry>(configHome,
                                              QCoreApplication::applicationFilePath().toStdString()),
        [client] { return client->status(); }, scheduler);
    const auto state = app::AppState::make(
        serviceManager, client, std::make_shared<app::Defaults>(app::Defaults::standardFile()), scheduler);
    state->start();
    state->checkAfterUpdate();

    app::TrayApp tray(state, updater, scheduler);
    QObject::connect(&instance, &app::SingleInstance::broughtForward, &tray, &app::TrayApp::bringForward);
    tray.show();
    return QApplication::exec();
}
