#include "engine/mail_date.h"

#include <QString>

namespace engine {

namespace {

QDateTime fromText(const QString &raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return {};
    for (Qt::DateFormat format : {Qt::ISODateWithMs, Qt::RFC2822Date}) {
        const QDateTime parsed = QDateTime::fromString(text, format);
        if (parsed.isValid())
            return parsed;
    }
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
