// SPDX-License-Identifier: MIT
#include "bus/exported_class.h"

#include "bus/dbus_types.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QObject>

namespace bus {

namespace {

bool isExportedMethod(const QMetaMethod &method)
{
    if (method.access() != QMetaMethod::Public || (method.attributes() & QMetaMethod::Cloned))
        return false;
    return method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot;
}

// The signatures of the method's parameters; empty when one has no D-Bus form.
std::optional<QString> parameterSignature(const QMetaMethod &method)
{
    QString signature;
    for (int i = 0; i < method.parameterCount(); ++i) {
        const QString part = signatureOf(method.parameterMetaType(i));
        if (part.isEmpty())
            return std::nullopt;
        signature += part;
    }
    return signature;
}

QString argumentXml(const QString &name, const QString &signature, const char *direction)
{
    QString xml = QStringLiteral("      <arg");
    if (!name.isEmpty())
        xml += QStringLiteral(" name=\"%1\"").arg(name);
    xml += QStringLiteral(" type=\"%1\"").arg(signature);
    if (direction)
        xml += QStringLiteral(" direction=\"%1\"").arg(QLatin1String(direction));
    return xml + QStringLiteral("/>\n");
}

QString parametersXml(const QMetaMethod &method, const char *direction)
{
    QString xml;
    const QList<QByteArray> names = method.parameterNames();
    for (int i = 0; i < method.parameterCount(); ++i)
        xml += argumentXml(QString::fromLatin1(names.value(i)), signatureOf(method.parameterMetaType(i)), direction);
    return xml;
}

} // namespace

ExportedClass::ExportedClass(const QMetaObject *meta, const QString &interfaceName)
    : m_meta(meta), m_interfaceName(interfaceName)
{
    readProperties();
    readMethods();
}

void ExportedClass::readProperties()
{
    for (int i = QObject::staticMetaObject.propertyCount(); i < m_meta->propertyCount(); ++i) {
        const QMetaProperty meta = m_meta->property(i);
        const QString signature = signatureOf(meta.metaType());
        if (signature.isEmpty() || !meta.isReadable())
            continue;
        m_properties.append({QString::fromLatin1(meta.name()), meta.metaType(), signature, meta.isWritable(), i});
    }
}

void ExportedClass::readMethods()
{
    for (int i = QObject::staticMetaObject.methodCount(); i < m_meta->methodCount(); ++i) {
        const QMetaMethod meta = m_meta->method(i);
        const QString name = QString::fromLatin1(meta.name());
        const std::optional<QString> parameters = parameterSignature(meta);
        if (!parameters)
            continue;
        if (meta.methodType() == QMetaMethod::Signal) {
            m_signals.append({name, i});
            continue;
        }
        const QMetaType result = meta.returnMetaType();
        const bool returnsNothing = result.id() == QMetaType::Void;
        if (!isExportedMethod(meta) || method(name) || (!returnsNothing && signatureOf(result).isEmpty()))
            continue;
        Method method{name, {}, *parameters, result, i};
        for (int p = 0; p < meta.parameterCount(); ++p)
            method.parameterTypes.append(meta.parameterMetaType(p));
        m_methods.append(method);
    }
}

const ExportedClass::Property *ExportedClass::property(const QString &name) const
{
    for (const Property &property : m_properties) {
        if (property.name == name)
            return &property;
    }
    return nullptr;
}

const ExportedClass::Method *ExportedClass::method(const QString &name) const
{
    for (const Method &method : m_methods) {
        if (method.name == name)
            return &method;
    }
    return nullptr;
}

QString ExportedClass::introspectionXml() const
{
    QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(m_interfaceName);
    // Nothing announces a change: a property is whatever the last read says.
    xml += QStringLiteral("    <annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" value=\"false\"/>\n");
    for (const Property &property : m_properties) {
        xml += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"%3\"/>\n")
                       .arg(property.name, property.signature,
                            property.writable ? QStringLiteral("readwrite") : QStringLiteral("read"));
    }
    for (const Method &method : m_methods) {
        const QMetaMethod meta = m_meta->method(method.index);
        xml += QStringLiteral("    <method name=\"%1\">\n").arg(method.name);
        xml += parametersXml(meta, "in");
        if (method.resultType.id() != QMetaType::Void)
            xml += argumentXml(QStringLiteral("result"), signatureOf(method.resultType), "out");
        xml += QStringLiteral("    </method>\n");
    }
    for (const Signal &signal : m_signals) {
        xml += QStringLiteral("    <signal name=\"%1\">\n").arg(signal.name);
        xml += parametersXml(m_meta->method(signal.index), nullptr);
        xml += QStringLiteral("    </signal>\n");
    }
    return xml + QStringLiteral("  </interface>\n");
}

} // namespace bus
