#include "app/tray/BusMenuEntries.hpp"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QMenu>
#include <algorithm>
#include <utility>

namespace kestrava::app {
namespace {

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

} // namespace

QVariantMap BusMenuEntries::onlyNamed(QVariantMap properties, const QStringList& names) {
    if (!names.isEmpty()) {
        properties.removeIf([&names](const auto& property) { return !names.contains(property.key()); });
    }
    return properties;
}

BusMenuEntries::BusMenuEntries(QMenu& menu) : menu_(menu) {
    menu_.installEventFilter(this);
    // Changes come in bursts (a redraw sets every action): the host hears them once.
    changes_.setSingleShot(true);
    changes_.setInterval(0);
    connect(&changes_, &QTimer::timeout, this, &BusMenuEntries::announceChanges);
}

QVariantMap BusMenuEntries::propertiesOf(int id) const {
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

QList<int> BusMenuEntries::ids() const {
    QList<int> ids = actions_.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

BusMenuLayout BusMenuEntries::layoutOf(int id, int depth, const QStringList& names) {
    BusMenuLayout layout{id, onlyNamed(propertiesOf(id), names), {}};
    const QMenu* menu = menuOf(id);
    if (depth != 0 && menu) {
        for (QAction* action : menu->actions()) {
            layout.children.push_back(QVariant::fromValue(layoutOf(idOf(action), depth - 1, names)));
        }
    }
    return layout;
}

void BusMenuEntries::happened(int id, const QString& eventId) {
    QAction* action = actions_.value(id);
    if (eventId == QLatin1String("clicked") && action && action->isEnabled()) {
        // After the reply: what the action opens must not keep the host waiting.
        QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    }
}

bool BusMenuEntries::eventFilter(QObject*, QEvent* event) {
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

int BusMenuEntries::idOf(QAction* action) {
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

QMenu* BusMenuEntries::menuOf(int id) const {
    if (id == rootId) {
        return &menu_;
    }
    const QAction* action = actions_.value(id);
    return action ? action->menu() : nullptr;
}

void BusMenuEntries::announceChanges() {
    if (std::exchange(layoutChanged_, false)) {
        changed_.clear();
        emit layoutChanged();
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
        emit entriesChanged(updated, removed);
    }
}

} // namespace kestrava::app
