#pragma once

#include <QDBusArgument>

namespace kestrova::platform::desktop {

// A D-Bus structure of plain fields, written and read in the order given, for the marshalling operators of
// the types we put on the bus.
template <typename... Fields>
QDBusArgument &writeStructure(QDBusArgument &argument, const Fields &...fields) {
    argument.beginStructure();
    (argument << ... << fields);
    argument.endStructure();
    return argument;
}

template <typename... Fields>
const QDBusArgument &readStructure(const QDBusArgument &argument, Fields &...fields) {
    argument.beginStructure();
    (argument >> ... >> fields);
    argument.endStructure();
    return argument;
}

} // namespace kestrova::platform::desktop
