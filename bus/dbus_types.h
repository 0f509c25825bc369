// SPDX-License-Identifier: MIT
#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

class QDBusObjectPath;
class QObject;

namespace bus {

// How the values of component properties, arguments and results travel on
// the bus. Texts, numbers and truth values keep their D-Bus types; a date
// goes as ISO 8601 text; an object goes as the path it is exported under.

// The D-Bus signature for values of `type`, or an empty string when values
// of that type are not exported.
QString signatureOf(QMetaType type);

// The path an object is (or now gets) exported under.
using PathOfObject = std::function<QDBusObjectPath(QObject *)>;

// A value read from a component object, as it goes on the bus.
QVariant toBusValue(const QVariant &value, const PathOfObject &pathOf);

// The D-Bus signature of a value that came from the bus.
QString signatureOfBusValue(const QVariant &value);

// A value that came from the bus, as the component takes it (`type`); none
// when it does not fit, such as a date that is not ISO 8601.
std::optional<QVariant> fromBusValue(const QVariant &value, QMetaType type);

} // namespace bus
