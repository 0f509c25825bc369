// SPDX-License-Identifier: MIT
#pragma once

#include "bus/dbus_types.h"
#include "bus/exported_class.h"

#include <QDBusMessage>
#include <QVariantList>

class QObject;

namespace bus {

// The calls on a component object, run in the object's thread through the
// program's late-bound automation layer; each returns the reply to send.
// The arguments have been checked against the member's D-Bus types already.
//
// A method fails on the bus when the component raises an error in it or
// when it answers false (its way of saying it failed), except on an object
// whose "silent" property is set, which asked to hear false instead. The
// error carries the reason the component's log gives for this call.

QDBusMessage callMethod(const QDBusMessage &call, QObject *object, const ExportedClass::Method &method,
                        const QVariantList &arguments, const PathOfObject &pathOf);

QDBusMessage readProperty(const QDBusMessage &call, QObject *object, const ExportedClass::Property &property,
                          const PathOfObject &pathOf);

QDBusMessage readAllProperties(const QDBusMessage &call, QObject *object, const ExportedClass &exported,
                               const PathOfObject &pathOf);

QDBusMessage writeProperty(const QDBusMessage &call, QObject *object, const ExportedClass::Property &property,
                           const QVariant &value);

} // namespace bus
