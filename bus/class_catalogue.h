// SPDX-License-Identifier: MIT
#pragma once

#include "bus/exported_class.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

struct QMetaObject;

namespace bus {

// The component classes the service knows, and what each shows on the bus.
//
// A class registered as "orvex.Message" is exported under the interface
// "org.orvex.Message". Classes that are never made by name (a mailbox's
// collection of messages) get their interface from their own class name.
class ClassCatalogue {
public:
    // Reads the registered class names and makes one object of each, so that
    // objects met later (a fetched message) are known by their registered
    // name. Returns the reasons for classes that could not be made.
    QStringList learnRegisteredClasses();

    // The registered spelling of className (letter case ignored), or an empty
    // string when no such class is registered.
    QString registeredName(const QString &className) const;

    // What objects of this meta-object show on the bus. Safe from any thread;
    // the result lives as long as the catalogue.
    const ExportedClass &exportedClass(const QMetaObject *meta);

private:
    QString interfaceNameOf(const QMetaObject *meta) const;

    QStringList m_registeredNames;
    QHash<QByteArray, QString> m_interfaceByClassName;
    QMutex m_lock;
    std::map<const QMetaObject *, std::unique_ptr<ExportedClass>> m_classes;
};

} // namespace bus
