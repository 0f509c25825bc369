// SPDX-License-Identifier: MIT
#include "engine/mail_date.h"

#include <QRegularExpression>
#include <QString>

namespace engine {

namespace {

// "01 Jan 2001 00:01+0000": some senders glue the zone to the time, which
// the header form's parser does not take.
QString withZoneApart(const QString &text)
{
    static const QRegularExpression gluedZone(QStringLiteral("(\\d:\\d\\d)(?=[+-]\\d{4}$)"));
    return QString(text).replace(gluedZone, QStringLiteral("\\1 "));
}

QDateTime fromText(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    if (const QDateTime parsed = QDateTime::fromString(text, Qt::ISODateWithMs); parsed.isValid())
        return parsed;
    if (const QDateTime parsed = QDateTime::fromString(withZoneApart(text), Qt::RFC2822Date); parsed.isValid())
        return parsed;
    // "2024-03-05 14:30:00" and "2024/03/05 14:30:00", as date pickers and
    // some servers write them.
    for (const char *pattern : {"yyyy-MM-dd hh:mm:ss", "yyyy/MM/dd hh:mm:ss", "yyyy-MM-dd hh:mm", "yyyy-MM-dd"}) {
        const QDateTime parsed = QDateTime::fromString(text, QString::fromLatin1(pattern));
        if (parsed.isValid())
            return parsed;
    }
    return {};
}

} // namespace

QDateTime toMailDateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay();
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return fromText(value.toString());
    default:
        return {};
    }
}

} // namespace engine
