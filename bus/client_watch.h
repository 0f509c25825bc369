// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QString>

namespace bus {

// The clients of the service: whether one may use it at all (it runs as
// the same user), and word when one that owns objects leaves the bus.
class ClientWatch : public QObject {
    Q_OBJECT
public:
    explicit ClientWatch(const QDBusConnection &connection, QObject *parent = nullptr);

    // True when `client` (a unique bus name) runs as the same user as the
    // service. Asked of the bus once per client.
    bool isSameUser(const QString &client);

    // Watches `client` until it leaves the bus; clientLeft() follows, also
    // when it had left already before the watch began.
    void watch(const QString &client);
    void unwatch(const QString &client);

Q_SIGNALS:
    void clientLeft(const QString &client);

private:
    void checkStillThere(const QString &client);
    void forget(const QString &client);

    QDBusConnection m_connection;
    QDBusServiceWatcher m_watcher;
    QHash<QString, bool> m_sameUser;
};

} // namespace bus
