#pragma once

#include "app/async/Scheduler.hpp"
#include "app/tray/TrayIconChoice.hpp"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <functional>

class QDBusPendingCall;

namespace kestrava::app {

// An item's registration with the panel's watcher of status notifier items, and what the watcher says
// meanwhile: whether it is there, whether a host draws its items, whether it lists ours. A watcher that
// comes (a panel that starts or restarts) gets the item at once; one that refuses it (one that takes its
// name a moment before its object answers does) or does not list it gets it again a few times; one that
// drops it, as a host that forgets its items makes it, gets it again however often it does. A watcher
// that holds its name but does not answer in time (a hung panel) counts as absent until it answers again.
// Interface thread.
class ItemRegistration final : public QObject {
    Q_OBJECT

public:
    // The waits before each further attempt, after the first.
    static constexpr std::array<std::chrono::milliseconds, 5> backOff{
        std::chrono::milliseconds(250), std::chrono::milliseconds(500), std::chrono::seconds(1),
        std::chrono::seconds(2), std::chrono::seconds(4)};
    // How long a registration the watcher accepted may go unlisted before the item registers again.
    static constexpr std::chrono::seconds listingPatience{3};
    // How long the watcher may take to answer a call; the bus would wait 25 s.
    static constexpr std::chrono::seconds answerLimit{3};

    // For the item that `service` names on `bus`.
    ItemRegistration(QDBusConnection bus, QString service, Scheduler& scheduler);

    // Whether a watcher holds its name and answers.
    bool watcherPresent() const noexcept { return watcherPresent_; }
    HostPresence host() const noexcept { return host_; }
    ItemStanding standing() const noexcept { return standing_; }

signals:
    // Any of the three changed.
    void changed();

private slots:
    void hostsChanged();
    void itemRegistered(const QString& entry);
    void itemUnregistered(const QString& entry);

private:
    // A new watcher is there: it knows nothing of the item yet.
    void begin();
    void lost();
    // The watcher did not answer in time: absent until a call of the few it is asked meanwhile is answered.
    void fellSilent();
    // A first attempt and as many more as the back-off has.
    void registerAfresh();
    void attempt();
    // Another attempt after the back-off, or the item's refusal when there were enough.
    void tryAgain(const QString& why);
    // The watcher no longer lists the item it listed.
    void dropped();
    // Reads whether a host is there and whether the watcher lists the item, then runs `then`.
    void read(std::function<void()> then = {});
    // Whether the watcher's `entry` names our item: by its service or unique name, maybe with its path.
    bool namesUs(const QString& entry) const;
    // Calls the watcher's `method` of `interface` with `argument`, and runs `answered` with its answer,
    // unless the watcher was replaced, went away or fell silent meanwhile.
    void callWatcher(const QString& interface, const QString& method, const QString& argument,
                     std::function<void(const QDBusPendingCall&)> answered);
    void set(HostPresence host, ItemStanding standing);

    QDBusConnection bus_;
    const QString service_;
    Scheduler& scheduler_;
    QDBusServiceWatcher watcher_;
    bool watcherPresent_ = false;
    HostPresence host_ = HostPresence::absent;
    ItemStanding standing_ = ItemStanding::pending;
    // Attempts made for the present watcher since it last listed the item.
    std::size_t attempts_ = 0;
    // Answers that come after the watcher changed are dropped.
    unsigned generation_ = 0;
    Timer retry_;
    Timer listingCheck_;
};

} // namespace kestrava::app
