#include "app/tray/DBusMenuExporter.hpp"

#include "app/runtime/AppLog.hpp"
#include "app/tray/BusMenuEntries.hpp"

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QMenu>

namespace kestrava::app {

// What the bus calls. Qt gives a call's context to the object an adaptor hangs from, not to the adaptor.
class BusMenuObject final : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    explicit BusMenuObject(QMenu& menu) : entries(menu) {}

    // Answers the call under way with an error that says `why`.
    void refuse(const QString& why) { sendErrorReply(QDBusError::InvalidArgs, why); }

    BusMenuEntries entries;
};

// The interface itself: each method a short answer from the entries.
class BusMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString TextDirection READ textDirection)

public:
    explicit BusMenuAdaptor(BusMenuObject& exported)
        : QDBusAbstractAdaptor(&exported), exported_(exported), entries_(exported.entries) {
        setAutoRelaySignals(false);
        connect(&entries_, &BusMenuEntries::layoutChanged, this,
                [this] { emit LayoutUpdated(++revision_, BusMenuEntries::rootId); });
        connect(&entries_, &BusMenuEntries::entriesChanged, this, &BusMenuAdaptor::ItemsPropertiesUpdated);
    }

    uint version() const { return 3; }
    QString status() const { return QStringLiteral("normal"); }
    QString textDirection() const {
        return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                     : QStringLiteral("ltr");
    }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   kestrava::app::BusMenuLayout& layout) {
        if (known(parentId)) {
            layout = entries_.layoutOf(parentId, recursionDepth, propertyNames);
        }
        return revision_;
    }

    QList<kestrava::app::BusMenuEntry> GetGroupProperties(const QList<int>& ids,
                                                          const QStringList& propertyNames) {
        const QList<int> named = ids.isEmpty() ? entries_.ids() : distinctIds(ids);
        QList<BusMenuEntry> entries;
        QList<int> unknownIds;
        for (const int id : named) {
            if (entries_.known(id)) {
                entries.push_back(entries_.entryOf(id, propertyNames));
            } else {
                unknownIds.push_back(id);
            }
        }
        refuseAllUnknown(named.size(), unknownIds);
        return entries;
    }

    QDBusVariant GetProperty(int id, const QString& name) {
        const QVariant value = entries_.propertiesOf(id).value(name);
        if (!value.isValid()) {
            exported_.refuse(QStringLiteral("entry %1 has no property %2").arg(id).arg(name));
        }
        return QDBusVariant(value);
    }

    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (known(id)) {
            entries_.happened(id, eventId);
        }
    }

    // Read event by event, never as a whole list: a request may carry a million of them.
    QList<int> EventGroup(const QDBusMessage& call) {
        if (call.signature() != QLatin1String("a(isvu)")) {
            exported_.refuse(QStringLiteral("a group of events is a(isvu)"));
            return {};
        }
        const auto events = call.arguments().value(0).value<QDBusArgument>();
        events.beginArray();
        const auto distinct = entries_.distinct<BusMenuEvent>(
            [&events]() -> std::optional<BusMenuEvent> {
                if (events.atEnd()) {
                    return std::nullopt;
                }
                BusMenuEvent event;
                events >> event;
                return event;
            },
            [](const BusMenuEvent& event) { return event.id; });
        events.endArray();
        if (!distinct) {
            refuseTooMany();
            return {};
        }
        QList<int> idErrors;
        for (const BusMenuEvent& event : *distinct) {
            if (entries_.known(event.id)) {
                entries_.happened(event.id, event.eventId);
            } else {
                idErrors.push_back(event.id);
            }
        }
        refuseAllUnknown(distinct->size(), idErrors);
        return idErrors;
    }

    // The entries are always up to date: nothing to refresh before the host shows them.
    bool AboutToShow(int id) {
        known(id);
        return false;
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        const QList<int> distinct = distinctIds(ids);
        for (const int id : distinct) {
            if (!entries_.known(id)) {
                idErrors.push_back(id);
            }
        }
        refuseAllUnknown(distinct.size(), idErrors);
        return {};
    }

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemsPropertiesUpdated(const QList<kestrava::app::BusMenuEntry>& updatedProps,
                                const QList<kestrava::app::BusMenuEntryNames>& removedProps);

private:
    // Whether the menu has entry `id`; the call fails when it has not.
    bool known(int id) {
        const bool known = entries_.known(id);
        if (!known) {
            exported_.refuse(QStringLiteral("no menu entry %1").arg(id));
        }
        return known;
    }

    // The entries `ids` names, each once; the call fails, and names none, when they outnumber the menu's.
    QList<int> distinctIds(const QList<int>& ids) {
        auto next = ids.cbegin();
        auto distinct = entries_.distinct<int>(
            [&]() -> std::optional<int> {
                return next == ids.cend() ? std::nullopt : std::optional<int>(*next++);
            },
            [](int id) { return id; });
        if (!distinct) {
            refuseTooMany();
        }
        return distinct.value_or(QList<int>{});
    }

    void refuseTooMany() { exported_.refuse(QStringLiteral("more menu entries named than the menu has")); }

    // A call for a group of entries fails when it names none the menu has.
    void refuseAllUnknown(qsizetype named, const QList<int>& unknownIds) {
        if (named > 0 && unknownIds.size() == named) {
            exported_.refuse(QStringLiteral("no menu entry among those named"));
        }
    }

    BusMenuObject& exported_;
    BusMenuEntries& entries_;
    uint revision_ = 1;
};

DBusMenuExporter::DBusMenuExporter(QMenu& menu, QDBusConnection bus, QString path)
    : bus_(std::move(bus)), path_(std::move(path)) {
    registerBusMenuTypes();
    auto exported = std::make_unique<BusMenuObject>(menu);
    new BusMenuAdaptor(*exported);
    exported_ = std::move(exported);
    if (!bus_.registerObject(path_, exported_.get())) {
        appLog(AppLogLevel::warning, "Tray",
               "the menu cannot be put on the bus: " + bus_.lastError().message().toStdString());
    }
}

DBusMenuExporter::~DBusMenuExporter() {
    bus_.unregisterObject(path_);
}

} // namespace kestrava::app

#include "DBusMenuExporter.moc"
