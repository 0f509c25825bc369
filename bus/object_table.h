// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusObjectPath>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace bus {

class ClassCatalogue;
class ExportedClass;
class ObjectThread;

// Every object the service shows on the bus, by number: the objects made
// through CreateObject ("roots") and everything they handed out since, each
// under its own path /org/orvex/Component/object/<number>. Numbers are
// never used twice, so a stale path never reaches another object.
//
// A root belongs to the client that made it (by its unique bus name) and
// lives in an ObjectThread of its own; what it hands out belongs to it and
// lives in the same thread. An entry goes when its object is destroyed,
// whichever thread destroys it; the object itself is only ever touched in
// its own thread. Safe to use from any thread.
class ObjectTable {
public:
    struct Entry {
        QObject *object = nullptr;
        const ExportedClass *exported = nullptr;
        quint64 rootId = 0;
        QString owner;  // the client's unique name; empty when detached
        ObjectThread *thread = nullptr;
    };

    explicit ObjectTable(ClassCatalogue &catalogue) : m_catalogue(catalogue) {}

    static QString objectFolder();
    static QString pathOf(quint64 id);
    // The number in an object path, or none for any other path.
    static std::optional<quint64> idOf(const QString &path);

    // Called for every object that gets a path, in the object's thread
    // (to relay its signals).
    using ExportHook = std::function<void(QObject *object, const QString &path, const Entry &entry)>;
    void setExportHook(ExportHook hook) { m_exportHook = std::move(hook); }

    quint64 addRoot(QObject *object, const ExportedClass *exported, const QString &owner, ObjectThread *thread);

    // The path of `object`, handed out by the root `rootId`, exported now if
    // it was not yet. "/" for no object, or when the root is gone. In the
    // object's thread.
    QDBusObjectPath pathFor(QObject *object, quint64 rootId);

    std::optional<Entry> find(quint64 id) const;
    bool isRoot(quint64 id) const;
    // Forgets a root and all it handed out; returns its entry.
    std::optional<Entry> takeRoot(quint64 rootId);
    QList<quint64> rootsOwnedBy(const QString &owner) const;
    QList<quint64> roots() const;
    int rootCount() const;
    QList<quint64> ids() const;

private:
    quint64 addEntry(QObject *object, const Entry &entry);
    void forget(quint64 id);

    ClassCatalogue &m_catalogue;
    mutable QMutex m_lock;
    quint64 m_nextId = 1;
    QHash<quint64, Entry> m_entries;
    QHash<QObject *, quint64> m_ids;
    ExportHook m_exportHook;
};

} // namespace bus
