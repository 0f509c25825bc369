// SPDX-License-Identifier: MIT
#pragma once

#include "bus/dbus_types.h"
#include "bus/exported_class.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace bus {

// Sends every exported signal of one object on the bus as a D-Bus signal
// from its path, to the client that owns the object (to all, for a detached
// object). A child of that object, so it lives in the object's thread and
// goes with it; the signal is sent from the thread that emits it.
//
// The relay is connected to each signal by index to slots it does not
// declare: qt_metacall then gets the signal's raw arguments, whatever their
// types, which is how one relay serves any class.
class SignalRelay : public QObject {
public:
    SignalRelay(QObject *source, const ExportedClass &exported, const QString &path, const QString &destination,
                const QDBusConnection &connection, PathOfObject pathOf);

    int qt_metacall(QMetaObject::Call call, int id, void **arguments) override;

private:
    void relay(int signalNumber, void **arguments);

    const ExportedClass &m_exported;
    const QMetaObject *m_sourceMeta;
    QString m_path;
    QString m_destination;
    QDBusConnection m_connection;
    PathOfObject m_pathOf;
};

} // namespace bus
