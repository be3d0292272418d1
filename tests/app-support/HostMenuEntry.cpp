#include "tests/app-support/HostMenuEntry.hpp"

#include <QDBusVariant>

namespace kestrava::test {

HostMenuEntry hostMenuEntryOf(const QDBusArgument& in) {
    HostMenuEntry entry;
    in.beginStructure();
    in >> entry.id >> entry.properties;
    in.beginArray();
    while (!in.atEnd()) {
        QDBusVariant child;
        in >> child;
        entry.children.push_back(hostMenuEntryOf(child.variant().value<QDBusArgument>()));
    }
    in.endArray();
    in.endStructure();
    return entry;
}

} // namespace kestrava::test
