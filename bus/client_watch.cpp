// SPDX-License-Identifier: MIT
#include "bus/client_watch.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <unistd.h>

namespace bus {

namespace {

// Past this many clients remembered, the answers are asked again: a
// service that runs for long meets many short-lived clients.
constexpr int kMaxRemembered = 1000;

} // namespace

ClientWatch::ClientWatch(const QDBusConnection &connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    m_watcher.setConnection(m_connection);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &client) {
        forget(client);
        Q_EMIT clientLeft(client);
    });
}

bool ClientWatch::isSameUser(const QString &client)
{
    if (const auto known = m_sameUser.constFind(client); known != m_sameUser.cend())
        return *known;
    if (m_sameUser.size() >= kMaxRemembered)
        m_sameUser.clear();
    const QDBusReply<uint> uid = m_connection.interface()->serviceUid(client);
    const bool same = uid.isValid() && uid.value() == ::getuid();
    m_sameUser.insert(client, same);
    return same;
}

void ClientWatch::watch(const QString &client)
{
    if (m_watcher.watchedServices().contains(client))
        return;
    m_watcher.addWatchedService(client);
    checkStillThere(client);
}

// A client that left before its watch began sends no word: the bus answers
// this question only after it has taken the watch, so one of the two tells.
void ClientWatch::checkStillThere(const QString &client)
{
    const QDBusMessage question =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                           QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"))
            << client;
    auto *pending = new QDBusPendingCallWatcher(m_connection.asyncCall(question), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, client](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<bool> hasOwner = *call;
        if (hasOwner.isValid() && !hasOwner.value() && m_watcher.watchedServices().contains(client)) {
            forget(client);
            Q_EMIT clientLeft(client);
        }
    });
}

void ClientWatch::unwatch(const QString &client)
{
    m_watcher.removeWatchedService(client);
}

void ClientWatch::forget(const QString &client)
{
    m_watcher.removeWatchedService(client);
    m_sameUser.remove(client);
}

} // namespace bus
