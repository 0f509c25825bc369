// SPDX-License-Identifier: MIT
#include "bus/member_call.h"

#include "bus/bus_errors.h"
#include "platform/automation_object.h"

#include <QDBusVariant>
#include <QObject>
#include <QVariantMap>

namespace bus {

namespace {

const QString kErrorLinePrefix = QStringLiteral("错误：");

// A handle that borrows the object: the bus never deletes through it.
platform::AutomationObject handleOn(QObject *object)
{
    platform::AutomationObject handle;
    handle.bindTo(QVariant::fromValue(object));
    return handle;
}

QString logOf(const QObject *object)
{
    return object ? object->property("log").toString() : QString();
}

bool isSilent(const QObject *object)
{
    return object && object->property("silent").toBool();
}

// Why a call failed: the last error line the component logged during it,
// else the error it raised, else what the automation layer says.
QString failureReason(const QString &logBefore, const QString &logAfter, const platform::AutomationObject &handle,
                      const QString &member)
{
    const QString added = logAfter.startsWith(logBefore) ? logAfter.mid(logBefore.size()) : logAfter;
    const QStringList lines = added.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (line->startsWith(kErrorLinePrefix))
            return line->mid(kErrorLinePrefix.size()).trimmed();
    }
    if (!handle.objectError().isEmpty())
        return handle.objectError();
    if (!handle.lastError().isEmpty())
        return handle.lastError();
    return QStringLiteral("“%1”没有成功").arg(member);
}

// The component's name for the kind of failure a call ended in: its
// "failurekind" when the call set or changed it. A kind left from an
// earlier failure says nothing about this one.
QString failureKind(const QString &kindBefore, const QObject *object)
{
    const QString kind = object ? object->property("failurekind").toString() : QString();
    return kind == kindBefore ? QString() : kind;
}

QDBusMessage failure(const QDBusMessage &call, const QString &reason, const QString &kind = {})
{
    return call.createErrorReply(errors::failureName(kind, reason), reason);
}

} // namespace

QDBusMessage callMethod(const QDBusMessage &call, QObject *object, const ExportedClass::Method &method,
                        const QVariantList &arguments, const PathOfObject &pathOf)
{
    platform::AutomationObject handle = handleOn(object);
    const QString logBefore = logOf(object);
    const QString kindBefore = failureKind({}, object);
    const std::optional<QVariant> result = handle.invoke(method.name, arguments);
    const bool refused = result && result->metaType().id() == QMetaType::Bool && !result->toBool()
                         && !isSilent(handle.object());
    if (!result || refused)
        return failure(call, failureReason(logBefore, logOf(handle.object()), handle, method.name),
                       failureKind(kindBefore, handle.object()));
    QDBusMessage reply = call.createReply();
    if (method.resultType.id() != QMetaType::Void)
        reply << toBusValue(*result, pathOf);
    return reply;
}

QDBusMessage readProperty(const QDBusMessage &call, QObject *object, const ExportedClass::Property &property,
                          const PathOfObject &pathOf)
{
    platform::AutomationObject handle = handleOn(object);
    const std::optional<QVariant> value = handle.property(property.name);
    if (!value)
        return failure(call, failureReason({}, {}, handle, property.name));
    return call.createReply(QVariant::fromValue(QDBusVariant(toBusValue(*value, pathOf))));
}

QDBusMessage readAllProperties(const QDBusMessage &call, QObject *object, const ExportedClass &exported,
                               const PathOfObject &pathOf)
{
    platform::AutomationObject handle = handleOn(object);
    QVariantMap values;
    for (const ExportedClass::Property &property : exported.properties()) {
        // One property that cannot be read leaves the others readable.
        if (const std::optional<QVariant> value = handle.property(property.name))
            values.insert(property.name, toBusValue(*value, pathOf));
    }
    return call.createReply(QVariant::fromValue(values));
}

QDBusMessage writeProperty(const QDBusMessage &call, QObject *object, const ExportedClass::Property &property,
                           const QVariant &value)
{
    platform::AutomationObject handle = handleOn(object);
    if (!handle.setProperty(property.name, value))
        return failure(call, failureReason({}, {}, handle, property.name));
    return call.createReply();
}

} // namespace bus
