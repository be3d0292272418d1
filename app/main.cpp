// The tray application: the one link to the agent, for the interface that follows it.
#include "app/async/QtScheduler.hpp"
#include "app/link/AgentClient.hpp"
#include "app/link/BusAgentNotifications.hpp"
#include "app/link/SocketTransport.hpp"
#include "app/runtime/AppLog.hpp"
#include "app/runtime/Translations.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (!kestrava::app::installTranslations(application)) {
        kestrava::app::appLog(kestrava::app::AppLogLevel::error, "App",
                              "the translated texts cannot be loaded");
    }
    kestrava::app::QtScheduler scheduler;
    const auto agent =
        kestrava::app::AgentClient::make(std::make_shared<kestrava::app::SocketTransport>(scheduler),
                                         std::make_shared<kestrava::app::BusAgentNotifications>(), scheduler);
    return QApplication::exec();
}
