#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <string>

namespace kestrava::test {

// A panel's watcher of status notifier items as the tests play it, on a bus connection of its own: a
// panel that starts, quits or restarts, with or without a host that draws the items, that refuses the
// first registrations as one whose object is not there yet does, and that lists the items it took, or
// not, spelled as one of the watchers hosts run spells them; one that drops them, and one that hangs.
class PlayedWatcher final : public QDBusVirtualObject {
public:
    // How the watcher names an item it lists and announces.
    enum class Spelling {
        asGiven,         // the name the item gave
        uniqueName,      // the unique name of the item's connection
        asGivenWithPath, // either, with the item's path after it
        uniqueNameWithPath,
    };

    struct Manner {
        bool host = true;
        // How many registrations, from the first, are answered UnknownObject.
        int refusals = 0;
        bool lists = true;
        Spelling spelling = Spelling::asGiven;
        // False: it holds its name and answers nothing, as a stopped panel, until it answers again; then
        // it answers what it was asked meanwhile, as a panel that wakes does.
        bool answers = true;
    };

    PlayedWatcher(std::string busAddress, Manner manner);
    ~PlayedWatcher() override;

    // Takes the watcher's name on a new connection, knowing no item: a panel that starts.
    void start();
    // Its connection closes: a panel that quits.
    void stop();
    // A host comes or goes, and the watcher says so.
    void setHost(bool host);
    // How it treats what comes next: refusals start again from the next registration.
    void setManner(Manner manner);
    // It forgets the items it listed, as a host that restarts makes it, and says so.
    void drop();

    // Whether it says a host draws the items.
    bool host() const noexcept { return manner_.host; }
    // Every registration asked for, taken or refused, by the name the item gave.
    const QStringList& asked() const noexcept { return asked_; }
    // What it lists now.
    const QStringList& listed() const noexcept { return listed_; }

    // Qt's own tray icon reads the host's presence through the watcher's interface as introspected.
    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override;

private:
    QVariantMap properties() const;
    void announce(const QString& member, const QVariantList& arguments = {}) const;

    const std::string busAddress_;
    Manner manner_;
    int refused_ = 0;
    int starts_ = 0;
    QString connectionName_;
    QStringList asked_;
    QStringList listed_;
    // What it was asked while it answered nothing.
    QList<QDBusMessage> held_;
};

} // namespace kestrava::test
