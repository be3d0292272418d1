#pragma once

#include <QDBusArgument>
#include <QVariantMap>
#include <vector>

namespace kestrava::test {

// A menu entry as a host reads it from a com.canonical.dbusmenu layout: (ia{sv}av), each child a variant
// that holds another.
struct HostMenuEntry {
    int id = 0;
    QVariantMap properties;
    std::vector<HostMenuEntry> children;
};

HostMenuEntry hostMenuEntryOf(const QDBusArgument& in);

} // namespace kestrava::test
