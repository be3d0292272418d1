#pragma once

#include "app/tray/BusMenuStructures.hpp"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <optional>

class QAction;
class QMenu;

namespace kestrava::app {

// A QMenu as the entries a host of com.canonical.dbusmenu sees: the menu itself is entry 0, each action
// gets an id as the host first sees it and keeps it while it lives. Tells of its changes once a burst of
// them is over. Interface thread.
class BusMenuEntries final : public QObject {
    Q_OBJECT

public:
    static constexpr int rootId = 0;

    explicit BusMenuEntries(QMenu& menu);

    bool known(int id) const { return id == rootId || actions_.contains(id); }
    // What a host's request names, read one by one from `next` until it gives nothing: each entry once, in
    // the order first named; none when it names more entries than the menu has, which no host does. Any
    // program on the bus may ask: the answer is never larger than the menu, whatever the request.
    template<typename Named, typename Next, typename IdOf>
    std::optional<QList<Named>> distinct(Next next, IdOf idOf) const {
        QList<Named> distinct;
        QSet<int> seen;
        while (const std::optional<Named> one = next()) {
            const int id = idOf(*one);
            if (seen.contains(id)) {
                continue;
            }
            if (seen.size() > actions_.size()) {
                return std::nullopt;
            }
            seen.insert(id);
            distinct.push_back(*one);
        }
        return distinct;
    }
    QVariantMap propertiesOf(int id) const;
    // The entry with only the properties in `names`, all for none.
    BusMenuEntry entryOf(int id, const QStringList& names) const {
        return {id, onlyNamed(propertiesOf(id), names)};
    }
    // Every entry the host has seen, in the order it first saw them.
    QList<int> ids() const;
    // `depth` levels of children below the entry; all of them when negative. Only the properties in
    // `names`, all for none.
    BusMenuLayout layoutOf(int id, int depth, const QStringList& names);
    // The host's event `eventId` on a known entry: a click triggers its action, once the call is answered.
    void happened(int id, const QString& eventId);

signals:
    // Entries came or went: the host reads the layout again.
    void layoutChanged();
    // Entries changed, with the properties each has now and the names of those it lost.
    void entriesChanged(const QList<kestrava::app::BusMenuEntry>& updated,
                        const QList<kestrava::app::BusMenuEntryNames>& removed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QVariantMap onlyNamed(QVariantMap properties, const QStringList& names);
    int idOf(QAction* action);
    QMenu* menuOf(int id) const;
    void announceChanges();

    QMenu& menu_;
    QHash<QAction*, int> ids_;
    QHash<int, QPointer<QAction>> actions_;
    int nextId_ = rootId + 1;
    QSet<int> changed_;
    bool layoutChanged_ = false;
    QTimer changes_;
};

} // namespace kestrava::app
