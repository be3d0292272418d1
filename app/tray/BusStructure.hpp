#pragma once

#include <QDBusArgument>

namespace kestrava::app {

// A D-Bus structure made of `fields`, in their order, written or read whole.
template<class... Fields>
QDBusArgument& writeBusStructure(QDBusArgument& out, const Fields&... fields) {
    out.beginStructure();
    (out << ... << fields);
    out.endStructure();
    return out;
}

template<class... Fields>
const QDBusArgument& readBusStructure(const QDBusArgument& in, Fields&... fields) {
    in.beginStructure();
    (in >> ... >> fields);
    in.endStructure();
    return in;
}

} // namespace kestrava::app
