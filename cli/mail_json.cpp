#include "cli/mail_json.h"

#include <QJsonArray>
#include <QJsonDocument>

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
