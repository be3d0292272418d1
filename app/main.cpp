// The tray application: the updater first, then the one link to the agent, the agent's service, and the
// state that follows them, for the interface that shows it.
#include "agent-core/runtime/TestHarness.hpp"
#include "app/async/QtScheduler.hpp"
#include "app/link/AgentClient.hpp"
#include "app/link/BusAgentNotifications.hpp"
#include "app/link/SocketTransport.hpp"
#include "app/runtime/AppLog.hpp"
#include "app/runtime/Translations.hpp"
#include "app/state/AppState.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/AutostartEntry.hpp"
#include "app/system/BusSystemdUserManager.hpp"
#include "app/system/SystemdUserUnit.hpp"
#include "app/system/Updater.hpp"
#include "platform/files/UserFolders.hpp"

#include <QApplication>

namespace app = kestrava::app;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (!app::installTranslations(application)) {
        app::appLog(app::AppLogLevel::error, "App", "the translated texts cannot be loaded");
    }
    const app::Updater updater(std::make_unique<app::SoftwareCentreUpdates>(),
                               !kestrava::isRunningUnderTests());
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
    return QApplication::exec();
}
