// SPDX-License-Identifier: MIT
#include "bus/object_table.h"

#include "bus/class_catalogue.h"

#include <QObject>

namespace bus {

QString ObjectTable::objectFolder()
{
    return QStringLiteral("/org/orvex/Component/object");
}

QString ObjectTable::pathOf(quint64 id)
{
    return objectFolder() + QLatin1Char('/') + QString::number(id);
}

std::optional<quint64> ObjectTable::idOf(const QString &path)
{
    const QString prefix = objectFolder() + QLatin1Char('/');
    if (!path.startsWith(prefix))
        return std::nullopt;
    bool ok = false;
    const quint64 id = path.mid(prefix.size()).toULongLong(&ok);
    if (!ok || pathOf(id) != path)
        return std::nullopt;
    return id;
}

quint64 ObjectTable::addEntry(QObject *object, const Entry &entry)
{
    const quint64 id = m_nextId++;
    m_entries.insert(id, entry);
    m_ids.insert(object, id);
    // Without a context: runs in whatever thread destroys the object.
    QObject::connect(object, &QObject::destroyed, [this, id] { forget(id); });
    return id;
}

quint64 ObjectTable::addRoot(QObject *object, const ExportedClass *exported, const QString &owner,
                             ObjectThread *thread)
{
    quint64 id = 0;
    {
        const QMutexLocker locker(&m_lock);
        id = addEntry(object, {object, exported, 0, owner, thread});
        m_entries[id].rootId = id;
    }
    if (m_exportHook)
        m_exportHook(object, pathOf(id), *find(id));
    return id;
}

QDBusObjectPath ObjectTable::pathFor(QObject *object, quint64 rootId)
{
    if (!object)
        return QDBusObjectPath(QStringLiteral("/"));
    const ExportedClass &exported = m_catalogue.exportedClass(object->metaObject());
    Entry entry;
    quint64 id = 0;
    {
        const QMutexLocker locker(&m_lock);
        if (const auto known = m_ids.constFind(object); known != m_ids.cend())
            return QDBusObjectPath(pathOf(*known));
        const auto root = m_entries.constFind(rootId);
        if (root == m_entries.cend())
            return QDBusObjectPath(QStringLiteral("/"));
        entry = {object, &exported, rootId, root->owner, root->thread};
        id = addEntry(object, entry);
    }
    if (m_exportHook)
        m_exportHook(object, pathOf(id), entry);
    return QDBusObjectPath(pathOf(id));
}

std::optional<ObjectTable::Entry> ObjectTable::find(quint64 id) const
{
    const QMutexLocker locker(&m_lock);
    const auto entry = m_entries.constFind(id);
    if (entry == m_entries.cend())
        return std::nullopt;
    return *entry;
}

bool ObjectTable::isRoot(quint64 id) const
{
    const std::optional<Entry> entry = find(id);
    return entry && entry->rootId == id;
}

std::optional<ObjectTable::Entry> ObjectTable::takeRoot(quint64 rootId)
{
    const QMutexLocker locker(&m_lock);
    const auto root = m_entries.constFind(rootId);
    if (root == m_entries.cend() || root->rootId != rootId)
        return std::nullopt;
    const Entry taken = *root;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->rootId == rootId) {
            m_ids.remove(it->object);
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

void ObjectTable::forget(quint64 id)
{
    const QMutexLocker locker(&m_lock);
    const auto entry = m_entries.constFind(id);
    if (entry == m_entries.cend())
        return;
    m_ids.remove(entry->object);
    m_entries.erase(entry);
}

QList<quint64> ObjectTable::rootsOwnedBy(const QString &owner) const
{
    const QMutexLocker locker(&m_lock);
    QList<quint64> ids;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (it->rootId == it.key() && it->owner == owner)
            ids << it.key();
    }
    return ids;
}

QList<quint64> ObjectTable::roots() const
{
    const QMutexLocker locker(&m_lock);
    QList<quint64> ids;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (it->rootId == it.key())
            ids << it.key();
    }
    return ids;
}

int ObjectTable::rootCount() const
{
    return int(roots().size());
}

QList<quint64> ObjectTable::ids() const
{
    const QMutexLocker locker(&m_lock);
    return m_entries.keys();
}

} // namespace bus
