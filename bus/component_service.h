// SPDX-License-Identifier: MIT
#pragma once

#include "bus/class_catalogue.h"
#include "bus/client_watch.h"
#include "bus/dbus_types.h"
#include "bus/object_table.h"
#include "bus/object_thread.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QTimer>

namespace bus {

// org.orvex.Component on the session bus: makes component objects by class
// name for any client and shows each under a path of its own, with the
// class's properties, methods and signals as read from its meta-object.
//
//   /org/orvex/Component, interface org.orvex.Component:
//     CreateObject(s className) -> o         belongs to the calling client
//     CreateDetachedObject(s className) -> o belongs to no client
//     ReleaseObject(o path)
//   /org/orvex/Component/object/<n>, interface org.orvex.<Class>
//
// An object goes when ReleaseObject releases it, when the client that made
// it leaves the bus, or, made detached (for a shell, where every call is a
// client of its own), once no call has reached it for the idle time. The
// service ends itself once it has held no object for the idle time.
class ComponentService : public QDBusVirtualObject {
    Q_OBJECT
public:
    static constexpr char kServiceName[] = "org.orvex.Component";
    static constexpr char kPath[] = "/org/orvex/Component";
    static constexpr char kInterface[] = "org.orvex.Component";

    ComponentService(const QDBusConnection &connection, ClassCatalogue &catalogue, int idleSeconds);
    ~ComponentService() override;

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private Q_SLOTS:
    void busDisconnected();

private:
    void handleServiceCall(const QDBusMessage &message);
    void createObject(const QDBusMessage &message, const QString &owner);
    void releaseObject(const QDBusMessage &message);
    void handleObjectCall(quint64 id, const QDBusMessage &message);
    void handlePropertiesCall(quint64 id, const ObjectTable::Entry &entry, const QDBusMessage &message);
    void handleMethodCall(quint64 id, const ObjectTable::Entry &entry, const QDBusMessage &message);

    // Runs `call` on object `id` in its thread and sends what it returns;
    // an object gone by then gets an error instead.
    using ObjectCall = std::function<QDBusMessage(QObject *object, const PathOfObject &pathOf)>;
    ObjectThread::Job jobFor(quint64 id, const QDBusMessage &message, ObjectCall call);

    void releaseRoot(quint64 id, const QString &why);
    void releaseObjectsOf(const QString &client);
    void exportSignals(QObject *object, const QString &path, const ObjectTable::Entry &entry);
    void keepHouse();
    void reply(const QDBusMessage &message);
    void replyError(const QDBusMessage &call, const QString &name, const QString &text);

    QDBusConnection m_connection;
    ClassCatalogue &m_catalogue;
    ObjectTable m_table;
    ClientWatch m_clients;
    int m_idleMs;
    QElapsedTimer m_sinceLastCall;
    QTimer m_housekeeping;
};

} // namespace bus
