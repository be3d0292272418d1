#include "app/tray/DBusMenuExporter.hpp"

#include "app/runtime/AppLog.hpp"
#include "app/tray/BusStructure.hpp"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <utility>

namespace kestrava::app {

// An entry with properties: (ia{sv}).
struct BusMenuEntry {
    int id = 0;
    QVariantMap properties;
};

// An entry with the names of the properties it no longer has: (ias).
struct BusMenuEntryNames {
    int id = 0;
    QStringList names;
};

// An entry with its children, each a variant that holds another such layout: (ia{sv}av).
struct BusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QVariantList children;
};

// What happened to an entry on the host's side: (isvu).
struct BusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};

} // namespace kestrava::app

Q_DECLARE_METATYPE(kestrava::app::BusMenuEntry)
Q_DECLARE_METATYPE(kestrava::app::BusMenuEntryNames)
Q_DECLARE_METATYPE(kestrava::app::BusMenuLayout)
Q_DECLARE_METATYPE(kestrava::app::BusMenuEvent)

namespace kestrava::app {

QDBusArgument& operator<<(QDBusArgument& out, const BusMenuEntry& entry) {
    return writeBusStructure(out, entry.id, entry.properties);
}

const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuEntry& entry) {
    return readBusStructure(in, entry.id, entry.properties);
}

QDBusArgument& operator<<(QDBusArgument& out, const BusMenuEntryNames& entry) {
    return writeBusStructure(out, entry.id, entry.names);
}

const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuEntryNames& entry) {
    return readBusStructure(in, entry.id, entry.names);
}

QDBusArgument& operator<<(QDBusArgument& out, const BusMenuLayout& layout) {
    out.beginStructure();
    out << layout.id << layout.properties;
    out.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const QVariant& child : layout.children) {
        out << QDBusVariant(child);
    }
    out.endArray();
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuLayout& layout) {
    in.beginStructure();
    in >> layout.id >> layout.properties;
    layout.children.clear();
    in.beginArray();
    while (!in.atEnd()) {
        QDBusVariant child;
        in >> child;
        layout.children.push_back(child.variant());
    }
    in.endArray();
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const BusMenuEvent& event) {
    return writeBusStructure(out, event.id, event.eventId, event.data, event.timestamp);
}

const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuEvent& event) {
    return readBusStructure(in, event.id, event.eventId, event.data, event.timestamp);
}

namespace {

constexpr int rootId = 0;

// Properties an entry may have at one time and not at another: a change names those it lost.
const QStringList& optionalProperties() {
    static const QStringList names{QStringLiteral("label"), QStringLiteral("children-display"),
                                   QStringLiteral("toggle-type"), QStringLiteral("toggle-state")};
    return names;
}

// Qt marks a mnemonic with "&" ("&&" for the sign itself), the bus with "_" ("__" for the sign itself).
QString busLabel(const QString& text) {
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            if (text[i + 1] == u'&') {
                label += u'&';
                ++i;
            } else {
                label += u'_';
            }
        } else if (text[i] == u'_') {
            label += QStringLiteral("__");
        } else {
            label += text[i];
        }
    }
    return label;
}

QVariantMap onlyNamed(QVariantMap properties, const QStringList& names) {
    if (!names.isEmpty()) {
        properties.removeIf([&names](const auto& property) { return !names.contains(property.key()); });
    }
    return properties;
}

} // namespace

// What the bus calls. Qt gives a call's context to the object an adaptor hangs from, not to the adaptor.
class BusMenuObject final : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    // Answers the call under way with an error that says `why`.
    void refuse(const QString& why) { sendErrorReply(QDBusError::InvalidArgs, why); }
};

class BusMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString TextDirection READ textDirection)

public:
    BusMenuAdaptor(QMenu& menu, BusMenuObject& exported)
        : QDBusAbstractAdaptor(&exported), exported_(exported), menu_(menu) {
        setAutoRelaySignals(false);
        menu_.installEventFilter(this);
        // Changes come in bursts (a redraw sets every action): the host hears them once.
        changes_.setSingleShot(true);
        changes_.setInterval(0);
        connect(&changes_, &QTimer::timeout, this, &BusMenuAdaptor::announceChanges);
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
            layout = layoutOf(parentId, recursionDepth, propertyNames);
        } else {
            unknown(parentId);
        }
        return revision_;
    }

    QList<kestrava::app::BusMenuEntry> GetGroupProperties(const QList<int>& ids,
                                                          const QStringList& propertyNames) {
        QList<BusMenuEntry> entries;
        for (const int id : ids.isEmpty() ? actions_.keys() : ids) {
            if (known(id)) {
                entries.push_back({id, onlyNamed(propertiesOf(id), propertyNames)});
            }
        }
        return entries;
    }

    QDBusVariant GetProperty(int id, const QString& name) {
        const QVariant value = propertiesOf(id).value(name);
        if (!value.isValid()) {
            exported_.refuse(QStringLiteral("entry %1 has no property %2").arg(id).arg(name));
        }
        return QDBusVariant(value);
    }

    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (known(id)) {
            happened(id, eventId);
        } else {
            unknown(id);
        }
    }

    QList<int> EventGroup(const QList<kestrava::app::BusMenuEvent>& events) {
        QList<int> idErrors;
        for (const BusMenuEvent& event : events) {
            if (known(event.id)) {
                happened(event.id, event.eventId);
            } else {
                idErrors.push_back(event.id);
            }
        }
        refuseAllUnknown(events.size(), idErrors);
        return idErrors;
    }

    // The entries are always up to date: nothing to refresh before the host shows them.
    bool AboutToShow(int id) {
        if (!known(id)) {
            unknown(id);
        }
        return false;
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        for (const int id : ids) {
            if (!known(id)) {
                idErrors.push_back(id);
            }
        }
        refuseAllUnknown(ids.size(), idErrors);
        return {};
    }

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemsPropertiesUpdated(const QList<kestrava::app::BusMenuEntry>& updatedProps,
                                const QList<kestrava::app::BusMenuEntryNames>& removedProps);

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ActionAdded:
        case QEvent::ActionRemoved:
            layoutChanged_ = true;
            changes_.start();
            break;
        case QEvent::ActionChanged:
            changed_.insert(idOf(static_cast<QActionEvent*>(event)->action()));
            changes_.start();
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool known(int id) const { return id == rootId || actions_.contains(id); }

    void unknown(int id) { exported_.refuse(QStringLiteral("no menu entry %1").arg(id)); }

    // A call for a group of entries fails when it names none the menu has.
    void refuseAllUnknown(qsizetype named, const QList<int>& unknownIds) {
        if (named > 0 && unknownIds.size() == named) {
            exported_.refuse(QStringLiteral("no menu entry among those named"));
        }
    }

    void happened(int id, const QString& eventId) {
        QAction* action = actions_.value(id);
        if (eventId == QLatin1String("clicked") && action && action->isEnabled()) {
            // After the reply: what the action opens must not keep the host waiting.
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        }
    }

    // Ids are given as the host first sees an action, and kept while it lives.
    int idOf(QAction* action) {
        if (const auto found = ids_.constFind(action); found != ids_.cend()) {
            return *found;
        }
        const int id = nextId_++;
        ids_.insert(action, id);
        actions_.insert(id, action);
        connect(action, &QObject::destroyed, this, [this, action, id] {
            ids_.remove(action);
            actions_.remove(id);
        });
        if (QMenu* submenu = action->menu()) {
            submenu->installEventFilter(this);
        }
        return id;
    }

    QMenu* menuOf(int id) const {
        if (id == rootId) {
            return &menu_;
        }
        const QAction* action = actions_.value(id);
        return action ? action->menu() : nullptr;
    }

    QVariantMap propertiesOf(int id) const {
        if (id == rootId) {
            return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
        }
        const QAction* action = actions_.value(id);
        if (!action) {
            return {};
        }
        QVariantMap properties{{QStringLiteral("enabled"), action->isEnabled()},
                               {QStringLiteral("visible"), action->isVisible()}};
        if (action->isSeparator()) {
            properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
            return properties;
        }
        properties.insert(QStringLiteral("label"), busLabel(action->text()));
        if (action->menu()) {
            properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        }
        if (action->isCheckable()) {
            const bool radio = action->actionGroup() && action->actionGroup()->isExclusive();
            properties.insert(QStringLiteral("toggle-type"),
                              radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
            properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
        }
        return properties;
    }

    // `depth` levels of children below the entry; all of them when negative.
    BusMenuLayout layoutOf(int id, int depth, const QStringList& names) {
        BusMenuLayout layout{id, onlyNamed(propertiesOf(id), names), {}};
        const QMenu* menu = menuOf(id);
        if (depth != 0 && menu) {
            for (QAction* action : menu->actions()) {
                layout.children.push_back(QVariant::fromValue(layoutOf(idOf(action), depth - 1, names)));
            }
        }
        return layout;
    }

    void announceChanges() {
        if (std::exchange(layoutChanged_, false)) {
            changed_.clear();
            emit LayoutUpdated(++revision_, rootId);
            return;
        }
        QList<BusMenuEntry> updated;
        QList<BusMenuEntryNames> removed;
        for (const int id : std::exchange(changed_, {})) {
            if (!actions_.contains(id)) {
                continue;
            }
            const QVariantMap properties = propertiesOf(id);
            updated.push_back({id, properties});
            QStringList gone;
            for (const QString& name : optionalProperties()) {
                if (!properties.contains(name)) {
                    gone.push_back(name);
                }
            }
            if (!gone.isEmpty()) {
                removed.push_back({id, gone});
            }
        }
        if (!updated.isEmpty()) {
            emit ItemsPropertiesUpdated(updated, removed);
        }
    }

    BusMenuObject& exported_;
    QMenu& menu_;
    QHash<QAction*, int> ids_;
    QHash<int, QPointer<QAction>> actions_;
    int nextId_ = rootId + 1;
    uint revision_ = 1;
    QSet<int> changed_;
    bool layoutChanged_ = false;
    QTimer changes_;
};

DBusMenuExporter::DBusMenuExporter(QMenu& menu, QDBusConnection bus, QString path)
    : bus_(std::move(bus)), path_(std::move(path)) {
    qDBusRegisterMetaType<BusMenuEntry>();
    qDBusRegisterMetaType<QList<BusMenuEntry>>();
    qDBusRegisterMetaType<BusMenuEntryNames>();
    qDBusRegisterMetaType<QList<BusMenuEntryNames>>();
    qDBusRegisterMetaType<BusMenuLayout>();
    qDBusRegisterMetaType<BusMenuEvent>();
    qDBusRegisterMetaType<QList<BusMenuEvent>>();
    qDBusRegisterMetaType<QList<int>>();
    auto exported = std::make_unique<BusMenuObject>();
    new BusMenuAdaptor(menu, *exported);
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
