#pragma once

#include "app/async/Scheduler.hpp"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <functional>
#include <vector>

namespace kestrava::app {

// GNOME Shell's overview, where the shell is on `bus`: each session starts in it, and no window of the
// application shows above it until the user leaves it. Nothing waits for the shell.
class GnomeOverview final : public QObject {
    Q_OBJECT

public:
    GnomeOverview(QDBusConnection bus, Scheduler& scheduler, QObject* parent = nullptr);

    // Runs `then` at once where the overview is not shown; else asks the shell to leave it and runs `then`
    // once it has, or after a moment where it does not say so.
    void leaveThen(std::function<void()> then);

private slots:
    void shellPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                const QStringList& invalidated);

private:
    void shownChanged(bool shown);

    QDBusConnection bus_;
    Scheduler& scheduler_;
    bool shown_ = false;
    std::vector<std::function<void()>> waiting_;
    Timer giveUp_;
};

} // namespace kestrava::app
