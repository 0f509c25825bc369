#include "component/message.h"

#include "component/automation_error.h"
#include "component/gmime_support.h"
#include "component/line_connection.h"
#include "component/mime_builder.h"
#include "component/recipient.h"
#include "component/recipients.h"
#include "component/server_address.h"
#include "component/smtp_client.h"
#include "component/transfer_progress.h"

#include <algorithm>
#include <optional>

namespace component {

namespace {

const ServerSchemes kSmtpSchemes{QStringLiteral("smtps"), QStringLiteral("smtp"), 25, 465};

// The bare address for MAIL FROM / RCPT TO, from "a@b" or "Name <a@b>".
// Anything that could break the command line (line breaks, controls,
// spaces, angle brackets) makes it unusable.
std::optional<QByteArray> envelopeAddress(const QString &text)
{
    QString address = text.trimmed();
    const int open = address.lastIndexOf(QLatin1Char('<'));
    if (open >= 0) {
        const int close = address.indexOf(QLatin1Char('>'), open);
        if (close < 0)
            return std::nullopt;
        address = address.mid(open + 1, close - open - 1).trimmed();
    }
    if (address.isEmpty() || !address.contains(QLatin1Char('@')))
        return std::nullopt;
    for (const QChar c : std::as_const(address)) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7f || c == QLatin1Char('<') || c == QLatin1Char('>'))
            return std::nullopt;
    }
    return address.toUtf8();
}

} // namespace

bool Message::send(const QString &server)
{
    clearLog();
    auto failure = [this](const QString &reason, bool alreadyLogged) {
        if (!alreadyLogged)
            appendLog(QStringLiteral("错误：%1").arg(reason));
        if (!m_silent)
            raiseAutomationError(this, reason);
        return false;
    };

    QString error;
    const std::optional<ServerAddress> address = parseServerAddress(server, kSmtpSchemes, &error);
    if (!address)
        return failure(error, false);

    const std::optional<QByteArray> from = envelopeAddress(m_from);
    if (!from)
        return failure(m_from.trimmed().isEmpty() ? QStringLiteral("没有填写发件人地址")
                                                  : QStringLiteral("发件人地址“%1”无效").arg(m_from),
                       false);

    OutgoingMessage outgoing;
    QList<QByteArray> envelopeRecipients;
    for (int i = 0; i < m_recipients->count(); ++i) {
        const QString recipient = static_cast<Recipient *>(m_recipients->item(i))->email();
        const std::optional<QByteArray> bare = envelopeAddress(recipient);
        if (!bare)
            return failure(QStringLiteral("收件人地址“%1”无效").arg(recipient), false);
        envelopeRecipients << *bare;
        outgoing.recipients << recipient;
    }
    if (envelopeRecipients.isEmpty())
        return failure(QStringLiteral("没有收件人"), false);

    outgoing.charset = m_charset.trimmed().toLatin1();
    outgoing.fromAddress = QString::fromUtf8(*from);
    outgoing.fromName = m_fromname;
    outgoing.subject = m_subject;
    outgoing.plainBody = m_body;
    outgoing.htmlBody = m_htmlbody;
    outgoing.attachmentFiles = m_attachmentFiles;
    outgoing.priority = m_priority;
    outgoing.returnReceipt = m_returnreceipt;
    outgoing.date = m_date;
    // Every attachment is checked before the server is bothered; the files
    // are read only while the message goes out.
    const GMimeMessagePtr mime = buildMimeMessage(outgoing, &error);
    if (!mime)
        return failure(error, false);

    LineConnection connection(m_timeout);
    connection.setLogger([this](const QString &line) { appendLog(line); });
    SmtpClient smtp(connection);
    const qint64 expectedBytes =
            estimatedWireSize(m_attachmentFiles, m_body.toUtf8().size() + m_htmlbody.toUtf8().size());
    ProgressThrottle throttle;
    const auto reportData = [&](qint64 bytesSent) {
        if (throttle.due())
            Q_EMIT progress(QStringLiteral("正在发送 %1 / %2 MB")
                                    .arg(megabytesText(bytesSent), megabytesText(std::max(bytesSent, expectedBytes))));
        return !m_progress || m_progress(bytesSent);
    };
    const auto opened = [&] {
        Q_EMIT progress(QStringLiteral("正在连接 %1…").arg(address->host));
        return smtp.open(*address);
    };
    const auto loggedOn = [&] {
        if (m_mailserverusername.isEmpty())
            return true;
        Q_EMIT progress(QStringLiteral("正在登录 %1…").arg(address->host));
        return smtp.authenticate(m_mailserverusername, m_mailserverpassword);
    };
    const bool sent = opened() && loggedOn() && smtp.sendEnvelope(*from, envelopeRecipients)
                      && smtp.sendMessage(GMIME_OBJECT(mime.get()), reportData);
    const QString reason = smtp.errorText();
    smtp.quit();
    if (!sent)
        return failure(reason.isEmpty() ? QStringLiteral("发送失败") : reason, true);
    appendLog(QStringLiteral("邮件已发送"));
    return true;
}

} // namespace component
