#include "app/tray/BusMenuStructures.hpp"

#include "app/tray/BusStructure.hpp"

#include <QDBusMetaType>

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

void registerBusMenuTypes() {
    qDBusRegisterMetaType<BusMenuEntry>();
    qDBusRegisterMetaType<QList<BusMenuEntry>>();
    qDBusRegisterMetaType<BusMenuEntryNames>();
    qDBusRegisterMetaType<QList<BusMenuEntryNames>>();
    qDBusRegisterMetaType<BusMenuLayout>();
    qDBusRegisterMetaType<BusMenuEvent>();
    qDBusRegisterMetaType<QList<BusMenuEvent>>();
    qDBusRegisterMetaType<QList<int>>();
}

} // namespace kestrava::app
