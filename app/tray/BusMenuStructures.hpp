#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace kestrava::app {

// The structures com.canonical.dbusmenu carries.

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

QDBusArgument& operator<<(QDBusArgument& out, const BusMenuEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuEntry& entry);
QDBusArgument& operator<<(QDBusArgument& out, const BusMenuEntryNames& entry);
const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuEntryNames& entry);
QDBusArgument& operator<<(QDBusArgument& out, const BusMenuLayout& layout);
const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuLayout& layout);
QDBusArgument& operator<<(QDBusArgument& out, const BusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& in, BusMenuEvent& event);

// Makes the structures and their lists known to Qt's D-Bus, once is enough.
void registerBusMenuTypes();

} // namespace kestrava::app

Q_DECLARE_METATYPE(kestrava::app::BusMenuEntry)
Q_DECLARE_METATYPE(kestrava::app::BusMenuEntryNames)
Q_DECLARE_METATYPE(kestrava::app::BusMenuLayout)
Q_DECLARE_METATYPE(kestrava::app::BusMenuEvent)
