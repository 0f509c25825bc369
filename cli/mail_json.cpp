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

void writeMailsJson(const QList<stru_mail> &mails, std::FILE *out)
{
    std::fputs("[", out);
    const char *separator = "\n";
    for (const stru_mail &mail : mails) {
        const QByteArray object = QJsonDocument(mailToJson(mail)).toJson(QJsonDocument::Compact);
        std::fputs(separator, out);
        std::fwrite(object.constData(), 1, size_t(object.size()), out);
        separator = ",\n";
    }
    std::fputs("\n]\n", out);
}
