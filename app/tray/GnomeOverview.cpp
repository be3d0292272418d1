#include "app/tray/GnomeOverview.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <utility>

namespace kestrava::app {
namespace {

using namespace std::chrono_literals;

const QString shellService = QStringLiteral("org.gnome.Shell");
const QString shellPath = QStringLiteral("/org/gnome/Shell");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString overviewActive = QStringLiteral("OverviewActive");

// The shell answers at once or is stuck: the application never waits on it for long.
constexpr int callLimitMs = 2000;
// The overview's closing animation takes a quarter of a second.
constexpr auto leavingLimit = 1s;

QDBusMessage shellPropertyCall(const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(shellService, shellPath, propertiesInterface, method);
    call.setAutoStartService(false);
    return call;
}

} // namespace

GnomeOverview::GnomeOverview(QDBusConnection bus, Scheduler& scheduler, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), scheduler_(scheduler) {
    bus_.connect(shellService, shellPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                 SLOT(shellPropertiesChanged(QString, QVariantMap, QStringList)));
    auto* answer = new QDBusPendingCallWatcher(
        bus_.asyncCall(shellPropertyCall(QStringLiteral("Get")) << shellService << overviewActive,
                       callLimitMs),
        this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isValid()) {
            shownChanged(reply.value().variant().toBool());
        }
        call->deleteLater();
    });
}

void GnomeOverview::leaveThen(std::function<void()> then) {
    if (!shown_) {
        then();
        return;
    }
    waiting_.push_back(std::move(then));
    if (waiting_.size() > 1) {
        return;
    }
    bus_.asyncCall(shellPropertyCall(QStringLiteral("Set"))
                       << shellService << overviewActive << QVariant::fromValue(QDBusVariant(false)),
                   callLimitMs);
    giveUp_ = scheduler_.after(leavingLimit, [this] { shownChanged(false); });
}

void GnomeOverview::shellPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                           const QStringList&) {
    if (interface == shellService && changed.contains(overviewActive)) {
        shownChanged(changed.value(overviewActive).toBool());
    }
}

void GnomeOverview::shownChanged(bool shown) {
    shown_ = shown;
    if (shown) {
        return;
    }
    giveUp_.cancel();
    for (const auto& then : std::exchange(waiting_, {})) {
        then();
    }
}

} // namespace kestrava::app
