#include "app/tray/ItemRegistration.hpp"

#include "app/runtime/AppLog.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <algorithm>
#include <string>
#include <utility>

namespace kestrava::app {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// Whether a call's error says that no answer came in time.
bool unanswered(const QDBusError& error) {
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout;
}

} // namespace

ItemRegistration::ItemRegistration(QDBusConnection bus, QString service, Scheduler& scheduler)
    : bus_(std::move(bus)), service_(std::move(service)), scheduler_(scheduler),
      watcher_(watcherService, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
    // A panel that restarts brings a new watcher, which knows no item yet.
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                if (owner.isEmpty()) {
                    lost();
                } else {
                    begin();
                }
            });
    for (const QString& member :
         {QStringLiteral("StatusNotifierHostRegistered"), QStringLiteral("StatusNotifierHostUnregistered")}) {
        bus_.connect(watcherService, watcherPath, watcherService, member, this, SLOT(hostsChanged()));
    }
    bus_.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierItemRegistered"),
                 this, SLOT(itemRegistered(QString)));
    bus_.connect(watcherService, watcherPath, watcherService,
                 QStringLiteral("StatusNotifierItemUnregistered"), this, SLOT(itemUnregistered(QString)));
    if (bus_.isConnected() && bus_.interface()->isServiceRegistered(watcherService)) {
        begin();
    }
}

void ItemRegistration::begin() {
    ++generation_;
    watcherPresent_ = true;
    set(HostPresence::unknown, ItemStanding::pending);
    read();
    registerAfresh();
}

void ItemRegistration::lost() {
    ++generation_;
    watcherPresent_ = false;
    retry_.cancel();
    listingCheck_.cancel();
    set(HostPresence::absent, ItemStanding::pending);
}

void ItemRegistration::fellSilent() {
    if (watcherPresent_) {
        appLog(AppLogLevel::warning, "Tray",
               "the panel's watcher did not answer in " + std::to_string(answerLimit.count()) +
                   " s: it counts as absent until it answers");
    }
    lost();
    // A stopped panel's calls wait for it on the bus: one at a time is enough to hear it wake.
    callWatcher(propertiesInterface, QStringLiteral("GetAll"), watcherService,
                [this](const QDBusPendingCall&) { begin(); });
}

void ItemRegistration::registerAfresh() {
    attempts_ = 0;
    retry_.cancel();
    listingCheck_.cancel();
    set(host_, ItemStanding::pending);
    attempt();
}

void ItemRegistration::attempt() {
    ++attempts_;
    callWatcher(watcherService, QStringLiteral("RegisterStatusNotifierItem"), service_,
                [this](const QDBusPendingCall& answer) {
                    if (answer.isError()) {
                        tryAgain(answer.error().message());
                        return;
                    }
                    // Some watchers list an item only once they have read it.
                    read();
                    listingCheck_ = scheduler_.after(listingPatience, [this] {
                        read([this] {
                            if (standing_ == ItemStanding::pending) {
                                tryAgain(QStringLiteral("it does not list the item"));
                            }
                        });
                    });
                });
}

void ItemRegistration::tryAgain(const QString& why) {
    if (attempts_ <= backOff.size()) {
        retry_ = scheduler_.after(backOff[attempts_ - 1], [this] { attempt(); });
        return;
    }
    appLog(AppLogLevel::warning, "Tray",
           "the panel's watcher did not take the tray icon in " + std::to_string(attempts_) +
               " attempts: " + why.toStdString());
    // A watcher that never answered has no host to draw items either.
    set(host_ == HostPresence::unknown ? HostPresence::absent : host_, ItemStanding::refused);
}

void ItemRegistration::dropped() {
    // However often it happens: the back-off counts only failures since the item was last listed.
    attempts_ = 0;
    set(host_, ItemStanding::pending);
    retry_ = scheduler_.after(backOff.front(), [this] { attempt(); });
}

void ItemRegistration::read(std::function<void()> then) {
    callWatcher(
        propertiesInterface, QStringLiteral("GetAll"), watcherService,
        [this, then = std::move(then)](const QDBusPendingCall& answer) {
            const QDBusPendingReply<QVariantMap> properties = answer;
            if (!properties.isError()) {
                const QStringList entries =
                    properties.value().value(QStringLiteral("RegisteredStatusNotifierItems")).toStringList();
                const bool listed = std::any_of(entries.begin(), entries.end(),
                                                [this](const QString& entry) { return namesUs(entry); });
                const HostPresence host =
                    properties.value().value(QStringLiteral("IsStatusNotifierHostRegistered")).toBool()
                        ? HostPresence::present
                        : HostPresence::absent;
                set(host, listed ? ItemStanding::listed : standing_);
                if (listed) {
                    listingCheck_.cancel();
                } else if (standing_ == ItemStanding::listed) {
                    dropped();
                }
            }
            if (then) {
                then();
            }
        });
}

void ItemRegistration::hostsChanged() {
    if (!watcherPresent_) {
        return;
    }
    // A host that comes may take what the watcher refused before.
    read([this] {
        if (standing_ == ItemStanding::refused && host_ == HostPresence::present) {
            registerAfresh();
        }
    });
}

void ItemRegistration::itemRegistered(const QString& entry) {
    if (watcherPresent_ && namesUs(entry)) {
        listingCheck_.cancel();
        set(host_, ItemStanding::listed);
    }
}

void ItemRegistration::itemUnregistered(const QString& entry) {
    if (watcherPresent_ && namesUs(entry) && standing_ == ItemStanding::listed) {
        dropped();
    }
}

bool ItemRegistration::namesUs(const QString& entry) const {
    const QString name = entry.section(QLatin1Char('/'), 0, 0);
    return name == service_ || name == bus_.baseService();
}

void ItemRegistration::callWatcher(const QString& interface, const QString& method, const QString& argument,
                                   std::function<void(const QDBusPendingCall&)> answered) {
    auto call = QDBusMessage::createMethodCall(watcherService, watcherPath, interface, method);
    call << argument;
    auto* answer = new QDBusPendingCallWatcher(
        bus_.asyncCall(call, static_cast<int>(std::chrono::milliseconds(answerLimit).count())), this);
    connect(
        answer, &QDBusPendingCallWatcher::finished, this,
        [this, generation = generation_, answered = std::move(answered)](QDBusPendingCallWatcher* answer) {
            answer->deleteLater();
            if (generation != generation_) {
                return;
            }
            if (answer->isError() && unanswered(answer->error())) {
                fellSilent();
            } else {
                answered(*answer);
            }
        });
}

void ItemRegistration::set(HostPresence host, ItemStanding standing) {
    if (host != host_ || standing != standing_) {
        host_ = host;
        standing_ = standing;
        emit changed();
    }
}

} // namespace kestrava::app
