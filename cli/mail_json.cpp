#include "cli/mail_json.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdlib>

QString isoDateWithOffset(const QDateTime &dateTime, int utcOffsetSeconds)
{
    // Qt writes a zero offset as "Z"; the zone as the sender wrote it is
    // always spelled out, so that "+00:00" and "-00:00" read alike.
    const QDateTime inZone = dateTime.toOffsetFromUtc(utcOffsetSeconds);
    const int minutes = std::abs(utcOffsetSeconds) / 60;
    return inZone.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"))
           + QStringLiteral("%1%2:%3")
                 .arg(utcOffsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                 .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QJsonObject mailToJson(const stru_mail &mail)
{
    QJsonObject object;
    object.insert(QStringLiteral("senderaddress"), mail.senderaddress);
    object.insert(QStringLiteral("sendername"), mail.sendername);
    object.insert(QStringLiteral("recipientaddress1"), QJsonArray::fromStringList(mail.recipientaddress1));
    object.insert(QStringLiteral("subject"), mail.subject);
    object.insert(QStringLiteral("body"), mail.body);
    object.insert(QStringLiteral("html"), mail.html);
    object.insert(QStringLiteral("attachment"), QJsonArray::fromStringList(mail.attachment));
    object.insert(QStringLiteral("maildatetime"),
                  mail.maildatetime.isValid()
                      ? QJsonValue(mail.maildatetime.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")))
                      : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("cc"), QJsonArray::fromStringList(mail.ccaddress1));
    object.insert(QStringLiteral("replyto"), mail.replyto);
    object.insert(QStringLiteral("messageid"), mail.messageid);
    object.insert(QStringLiteral("inreplyto"), mail.inreplyto);
    object.insert(QStringLiteral("date"), mail.maildatetime.isValid()
                                              ? QJsonValue(isoDateWithOffset(mail.maildatetime, mail.mailutcoffset))
                                              : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("text"), mail.html ? mail.text : mail.body);
    return object;
}

MailJsonWriter::MailJsonWriter(std::FILE *out) : m_out(out)
{
    std::fputs("[", m_out);
}

void MailJsonWriter::write(const stru_mail &mail)
{
    const QByteArray object = QJsonDocument(mailToJson(mail)).toJson(QJsonDocument::Compact);
    std::fputs(m_separator, m_out);
    std::fwrite(object.constData(), 1, size_t(object.size()), m_out);
    m_separator = ",\n";
}

void MailJsonWriter::finish()
{
    std::fputs("\n]\n", m_out);
}
