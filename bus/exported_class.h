// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

struct QMetaObject;

namespace bus {

// What one class of component objects shows on the bus, read from its
// meta-object: its properties as D-Bus properties, its invokable methods
// and public slots as methods, its signals as signals, all under one
// interface and with the member names the class itself uses. Members whose
// types have no D-Bus form are left out, and of methods that share a name
// only the first (D-Bus has no overloads). QObject's own members are not
// part of it.
class ExportedClass {
public:
    struct Property {
        QString name;
        QMetaType type;
        QString signature;
        bool writable = false;
        int index = -1;  // in the meta-object
    };
    struct Method {
        QString name;
        QList<QMetaType> parameterTypes;
        QString parameterSignature;  // of all parameters, in order
        QMetaType resultType;        // void for none
        int index = -1;
    };
    struct Signal {
        QString name;
        int index = -1;
    };

    ExportedClass(const QMetaObject *meta, const QString &interfaceName);

    QString interfaceName() const { return m_interfaceName; }
    const Property *property(const QString &name) const;
    const Method *method(const QString &name) const;
    const QList<Property> &properties() const { return m_properties; }
    const QList<Signal> &signalList() const { return m_signals; }

    // The <interface> element of its introspection data.
    QString introspectionXml() const;

private:
    void readProperties();
    void readMethods();

    const QMetaObject *m_meta;
    QString m_interfaceName;
    QList<Property> m_properties;
    QList<Method> m_methods;
    QList<Signal> m_signals;
};

} // namespace bus
