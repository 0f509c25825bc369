// SPDX-License-Identifier: MIT
#include "component/message.h"

#include "component/automation_error.h"
#include "component/gmime_support.h"
#include "component/line_connection.h"
#include "component/mail_address.h"
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

// The addresses of a message, checked before the server is bothered.
struct Addresses {
    MailAddress from;
    QList<MailAddress> to;
    QList<MailAddress> cc;
    QList<MailAddress> bcc;

    // Everyone the message goes to: the envelope's recipients.
    QList<MailAddress> everyRecipient() const { return to + cc + bcc; }
    bool allAscii() const
    {
        const QList<MailAddress> recipients = everyRecipient();
        return from.isAscii()
               && std::all_of(recipients.cbegin(), recipients.cend(), [](const MailAddress &a) { return a.isAscii(); });
    }
};

// Each address of `texts` taken apart into `into`; false with the reason
// in `error` at the first that is no address.
bool parseAddresses(const QStringList &texts, QList<MailAddress> &into, QString *error)
{
    QString reason;
    for (const QString &text : texts) {
        const std::optional<MailAddress> address = parseMailAddress(text, &reason);
        if (!address) {
            *error = QStringLiteral("收件人%1").arg(reason);
            return false;
        }
        into << *address;
    }
    return true;
}

// The sender and every recipient taken apart; a display name or address
// that holds a line break or another control character is refused, since
// it could start a header line or a command of its own.
std::optional<Addresses> checkedAddresses(const Message &message, Recipients &recipients, QString *error)
{
    const QString from = message.fromAddress();
    const QString fromName = message.fromName();
    if (from.trimmed().isEmpty()) {
        *error = QStringLiteral("没有填写发件人地址");
        return std::nullopt;
    }
    if (hasControlCharacter(fromName)) {
        *error = QStringLiteral("发件人姓名“%1”中含有换行或其他控制字符").arg(visibleControls(fromName));
        return std::nullopt;
    }
    QString reason;
    std::optional<MailAddress> sender = parseMailAddress(from, &reason);
    if (!sender) {
        *error = QStringLiteral("发件人%1").arg(reason);
        return std::nullopt;
    }
    if (!fromName.isEmpty())
        sender->name = fromName;
    Addresses addresses{*sender, {}, {}, {}};
    QStringList to;
    for (int i = 0; i < recipients.count(); ++i)
        to << static_cast<Recipient *>(recipients.item(i))->email();
    if (!parseAddresses(to, addresses.to, error) || !parseAddresses(message.ccAddresses(), addresses.cc, error)
        || !parseAddresses(message.bccAddresses(), addresses.bcc, error))
        return std::nullopt;
    if (addresses.everyRecipient().isEmpty()) {
        *error = QStringLiteral("没有收件人");
        return std::nullopt;
    }
    return addresses;
}

// The first address that has no ASCII form (its local part is not ASCII),
// or none.
std::optional<MailAddress> firstNonAsciiLocalPart(const Addresses &addresses)
{
    if (addresses.from.asciiAddress().isEmpty())
        return addresses.from;
    for (const MailAddress &recipient : addresses.everyRecipient()) {
        if (recipient.asciiAddress().isEmpty())
            return recipient;
    }
    return std::nullopt;
}

QByteArray envelopeAddress(const MailAddress &address, bool utf8)
{
    return utf8 ? address.unicodeAddress().toUtf8() : address.asciiAddress();
}

OutgoingMessage outgoingMessage(const Message &message, const Addresses &addresses, bool utf8Addresses)
{
    OutgoingMessage outgoing;
    outgoing.charset = message.charset().trimmed().toLatin1();
    outgoing.from = addresses.from;
    outgoing.recipients = addresses.to;
    outgoing.cc = addresses.cc;
    outgoing.utf8Addresses = utf8Addresses;
    outgoing.subject = message.subject();
    outgoing.plainBody = message.plainBody();
    outgoing.htmlBody = message.htmlBody();
    outgoing.attachmentFiles = message.attachmentFiles();
    outgoing.priority = message.priority();
    outgoing.returnReceipt = message.returnReceipt();
    outgoing.date = message.date();
    return outgoing;
}

} // namespace

bool Message::send(const QString &server)
{
    // Addresses, the MIME tree and the DATA stream are all GMime's.
    ensureGMimeInitialized();
    clearLog();
    m_maybeSent = false;
    m_lastError.clear();
    m_failureKind = FailureKind::None;
    auto failure = [this](const QString &reason, bool alreadyLogged, FailureKind kind) {
        m_lastError = reason;
        m_failureKind = kind;
        if (!alreadyLogged)
            appendLog(QStringLiteral("错误：%1").arg(reason));
        if (!m_silent)
            raiseAutomationError(this, reason);
        return false;
    };

    QString error;
    const std::optional<ServerAddress> address = parseServerAddress(server, kSmtpSchemes, &error);
    if (!address)
        return failure(error, false, FailureKind::Input);
    const std::optional<Addresses> addresses = checkedAddresses(*this, *m_recipients, &error);
    if (!addresses)
        return failure(error, false, FailureKind::Input);
    // Every attachment is checked before the server is bothered; the files
    // are read only while the message goes out.
    for (const QString &path : std::as_const(m_attachmentFiles)) {
        if (const QString reason = unreadableFileReason(path); !reason.isEmpty())
            return failure(QStringLiteral("无法读取附件 %1：%2").arg(path, reason), false, FailureKind::LocalFile);
    }

    const std::optional<TlsPolicy> policy = tlsPolicyFrom(m_tls, m_tlsFingerprint, m_caFile, &error);
    if (!policy)
        return failure(error, false, FailureKind::Input);

    LineConnection connection(m_timeout);
    connection.setTlsPolicy(*policy);
    connection.setPassUserInput(m_passUserInput);
    connection.setLogger([this](const QString &line) { appendLog(line); });
    SmtpClient smtp(connection);
    // An HTML body without a plain one also goes as plain text, which is no
    // longer than the HTML.
    const qint64 htmlBytes = m_htmlbody.toUtf8().size();
    const qint64 plainBytes = m_body.isEmpty() ? htmlBytes : m_body.toUtf8().size();
    const qint64 expectedBytes = estimatedWireSize(m_attachmentFiles, plainBytes + htmlBytes);
    ProgressThrottle throttle;
    const auto reportData = [&](qint64 bytesSent) {
        if (throttle.due()) {
            Q_EMIT progressamount(bytesSent, std::max(bytesSent, expectedBytes));
            Q_EMIT progress(QStringLiteral("正在发送 %1 / %2 MB")
                                    .arg(megabytesText(bytesSent), megabytesText(std::max(bytesSent, expectedBytes))));
        }
        return !m_progress || m_progress(bytesSent);
    };
    const auto opened = [&] {
        Q_EMIT progress(QStringLiteral("正在连接 %1…").arg(address->host));
        return smtp.open(*address);
    };
    // Addresses in UTF-8 go only to a server that takes them (SMTPUTF8);
    // to any other, a Unicode domain goes as its A-label, and a local part
    // that is not ASCII cannot go at all.
    bool utf8 = false;
    const auto addressesFit = [&] {
        utf8 = !addresses->allAscii() && smtp.supports("SMTPUTF8");
        const std::optional<MailAddress> unsendable = utf8 ? std::nullopt : firstNonAsciiLocalPart(*addresses);
        if (!unsendable)
            return true;
        return smtp.refuse(QStringLiteral("地址 %1 的用户名部分含有非 ASCII 字符，而服务器不支持 SMTPUTF8，邮件没有发出")
                                   .arg(unsendable->unicodeAddress()),
                           FailureKind::Refused);
    };
    const auto loggedOn = [&] {
        if (m_mailserverusername.isEmpty())
            return true;
        Q_EMIT progress(QStringLiteral("正在登录 %1…").arg(address->host));
        return smtp.authenticate(m_mailserverusername, m_mailserverpassword);
    };
    const auto fitsSizeLimit = [&] {
        const qint64 limit = smtp.sizeLimit();
        if (limit <= 0 || expectedBytes <= limit)
            return true;
        return smtp.refuse(QStringLiteral("邮件约 %1 字节，超过服务器允许的 %2 字节（SIZE），邮件没有发出")
                                   .arg(expectedBytes)
                                   .arg(limit),
                           FailureKind::Refused);
    };
    GMimeMessagePtr mime;
    const auto built = [&] {
        mime = buildMimeMessage(outgoingMessage(*this, *addresses, utf8), &error);
        return mime || smtp.refuse(error, FailureKind::Refused);
    };
    const auto envelope = [&] {
        QList<QByteArray> recipients;
        for (const MailAddress &recipient : addresses->everyRecipient())
            recipients << envelopeAddress(recipient, utf8);
        return smtp.sendEnvelope(envelopeAddress(addresses->from, utf8), recipients, {expectedBytes, utf8});
    };
    const bool sent = opened() && addressesFit() && loggedOn() && fitsSizeLimit() && built() && envelope()
                      && smtp.sendMessage(GMIME_OBJECT(mime.get()), reportData);
    const QString reason = smtp.errorText();
    m_maybeSent = !sent && smtp.maybeSent();
    const FailureKind kind = smtp.failureKind();
    smtp.quit();
    if (m_maybeSent)
        appendLog(QStringLiteral("注意：邮件已全部发出（包括结束标记），服务器可能已经收下了这封邮件"));
    if (!sent)
        return failure(reason.isEmpty() ? QStringLiteral("发送失败") : reason, true,
                       reason.isEmpty() ? FailureKind::Other : kind);
    appendLog(QStringLiteral("邮件已发送"));
    return true;
}

void Message::abandon()
{
    LineConnection::abandonAll();
}

} // namespace component
