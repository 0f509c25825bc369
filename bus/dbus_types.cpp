// SPDX-License-Identifier: MIT
#include "bus/dbus_types.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDateTime>

namespace bus {

namespace {

bool isObjectPointer(QMetaType type)
{
    return type.flags().testFlag(QMetaType::PointerToQObject);
}

} // namespace

QString signatureOf(QMetaType type)
{
    if (isObjectPointer(type))
        return QStringLiteral("o");
    switch (type.id()) {
    case QMetaType::QDateTime:
        return QStringLiteral("s");
    case QMetaType::QVariant:
    case QMetaType::Void:
    case QMetaType::UnknownType:
        return {};
    default:
        return QString::fromLatin1(QDBusMetaType::typeToSignature(type));
    }
}

QVariant toBusValue(const QVariant &value, const PathOfObject &pathOf)
{
    if (isObjectPointer(value.metaType()))
        return QVariant::fromValue(pathOf(qvariant_cast<QObject *>(value)));
    if (value.metaType().id() == QMetaType::QDateTime) {
        // With its offset from UTC, so that it names one moment anywhere.
        const QDateTime date = value.toDateTime();
        return date.isValid() ? date.toOffsetFromUtc(date.offsetFromUtc()).toString(Qt::ISODate) : QString();
    }
    return value;
}

QString signatureOfBusValue(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        return qvariant_cast<QDBusArgument>(value).currentSignature();
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return QStringLiteral("o");
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return QStringLiteral("v");
    return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

std::optional<QVariant> fromBusValue(const QVariant &value, QMetaType type)
{
    if (type.id() == QMetaType::QDateTime) {
        if (value.metaType().id() != QMetaType::QString)
            return std::nullopt;
        const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        return date;
    }
    const QString expected = signatureOf(type);
    if (expected.isEmpty() || isObjectPointer(type) || signatureOfBusValue(value) != expected)
        return std::nullopt;
    return value;
}

} // namespace bus
