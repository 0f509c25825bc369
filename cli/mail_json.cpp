// SPDX-License-Identifier: MIT
#include "cli/mail_json.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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
    put("[", 1);
}

void MailJsonWriter::put(const char *data, std::size_t size)
{
    if (std::fwrite(data, 1, size, m_out) != size && m_errorCode == 0)
        m_errorCode = errno ? errno : EIO;
}

void MailJsonWriter::write(const stru_mail &mail)
{
    if (m_finished)
        return;
    const QByteArray object = QJsonDocument(mailToJson(mail)).toJson(QJsonDocument::Compact);
    put(m_separator, std::strlen(m_separator));
    put(object.constData(), std::size_t(object.size()));
    m_separator = ",\n";
}

bool MailJsonWriter::finish(QString *error)
{
    if (!m_finished) {
        m_finished = true;
        put("\n]\n", 3);
        errno = 0;
        if (std::fflush(m_out) != 0 && m_errorCode == 0)
            m_errorCode = errno ? errno : EIO;
        if (std::ferror(m_out) && m_errorCode == 0)
            m_errorCode = EIO;
        // A file the output was sent to is the only copy of the bodies
        // once the messages leave the server: it must be on disk first.
        struct stat status {};
        const int fd = fileno(m_out);
        if (m_errorCode == 0 && fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
            && ::fsync(fd) != 0)
            m_errorCode = errno;
    }
    if (m_errorCode != 0 && error)
        *error = QString::fromLocal8Bit(std::strerror(m_errorCode));
    return m_errorCode == 0;
}
