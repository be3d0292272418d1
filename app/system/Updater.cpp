#include "app/system/Updater.hpp"

#include "app/runtime/AppLog.hpp"

#include <QProcess>
#include <QStandardPaths>

namespace kestrava::app {

SoftwareCentreUpdates::SoftwareCentreUpdates() {
    if (const QString gnome = QStandardPaths::findExecutable(QStringLiteral("gnome-software"));
        !gnome.isEmpty()) {
        program_ = gnome;
        arguments_ = {QStringLiteral("--mode=updates")};
    } else if (const QString plasma = QStandardPaths::findExecutable(QStringLiteral("plasma-discover"));
               !plasma.isEmpty()) {
        program_ = plasma;
        arguments_ = {QStringLiteral("--mode"), QStringLiteral("update")};
    }
}

void SoftwareCentreUpdates::checkForUpdates() {
    if (!program_.isEmpty() && !QProcess::startDetached(program_, arguments_)) {
        appLog(AppLogLevel::error, "Updater", "cannot start " + program_.toStdString());
    }
}

Updater::Updater(std::unique_ptr<UpdateBackend> backend, bool startingUpdater)
    : backend_(std::move(backend)), canCheckForUpdates_(startingUpdater && backend_->canCheckForUpdates()) {}

void Updater::checkForUpdates() {
    if (canCheckForUpdates_) {
        backend_->checkForUpdates();
    }
}

} // namespace kestrava::app
