// SPDX-License-Identifier: MIT
#include "component/smtp_client.h"

#include "component/line_connection.h"
#include "component/sasl_client.h"
#include "component/smtp_data_writer.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <algorithm>
#include <cctype>

namespace component {

namespace {

// Replies are short (RFC 5321 allows 512 bytes a line); these limits only
// keep a misbehaving server from filling memory.
constexpr qint64 kMaxReplyLine = 64 * 1024;
constexpr int kMaxReplyLines = 1000;
// A SASL exchange that has not ended after this many rounds never will.
constexpr int kMaxSaslRounds = 10;

const QString kSecretPlaceholder = QStringLiteral("********");

} // namespace

QString SmtpReply::text() const
{
    QStringList parts;
    for (const QByteArray &line : lines)
        parts << QString::fromUtf8(line).trimmed();
    return QStringLiteral("%1 %2").arg(code).arg(parts.join(QLatin1Char(' '))).trimmed();
}

QString SmtpClient::errorText() const
{
    return m_error.isEmpty() ? m_connection.errorText() : m_error;
}

FailureKind SmtpClient::failureKind() const
{
    return m_error.isEmpty() ? m_connection.failureKind() : m_failureKind;
}

bool SmtpClient::refuse(const QString &text, FailureKind kind)
{
    if (m_error.isEmpty()) {
        // The server's words may quote what it was sent.
        m_error = m_connection.masked(text);
        m_failureKind = kind;
        m_connection.log(QStringLiteral("错误：%1").arg(m_error));
    }
    return false;
}

bool SmtpClient::readReply(SmtpReply &reply)
{
    reply = SmtpReply();
    for (int count = 0; count < kMaxReplyLines; ++count) {
        QByteArray line;
        if (!m_connection.readReply(line))
            return false;
        const bool wellFormed = line.size() >= 3 && std::isdigit(uchar(line[0])) && std::isdigit(uchar(line[1]))
                                && std::isdigit(uchar(line[2]))
                                && (line.size() == 3 || line[3] == ' ' || line[3] == '-');
        if (!wellFormed)
            return m_connection.fail(QStringLiteral("服务器的应答不符合 SMTP 协议"));
        const int code = line.left(3).toInt();
        if (count > 0 && code != reply.code)
            return m_connection.fail(QStringLiteral("服务器的多行应答前后不一致"));
        reply.code = code;
        reply.lines << line.mid(4);
        if (line.size() == 3 || line[3] == ' ')
            return true;
    }
    return m_connection.fail(QStringLiteral("服务器的应答过长"));
}

bool SmtpClient::command(const QByteArray &line, SmtpReply &reply, const QString &shownAs)
{
    return m_connection.writeCommand(line, shownAs) && readReply(reply);
}

QByteArray SmtpClient::clientName() const
{
    // EHLO wants a fully qualified name or an address literal.
    static const QRegularExpression fqdn(QStringLiteral("^[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+$"));
    const QString host = QSysInfo::machineHostName();
    if (fqdn.match(host).hasMatch())
        return host.toLatin1();
    QHostAddress local = m_connection.localAddress();
    bool isV4 = false;
    const quint32 v4 = local.toIPv4Address(&isV4);
    if (isV4)
        return "[" + QHostAddress(v4).toString().toLatin1() + "]";
    if (local.protocol() == QAbstractSocket::IPv6Protocol)
        return "[IPv6:" + local.toString().toLatin1() + "]";
    return QByteArrayLiteral("[127.0.0.1]");
}

bool SmtpClient::greet()
{
    m_extensions.clear();
    m_ehloLines.clear();
    SmtpReply reply;
    if (!command("EHLO " + clientName(), reply))
        return false;
    if (reply.code == 250) {
        m_ehloLines = reply.lines.mid(1);
        for (const QByteArray &line : std::as_const(m_ehloLines)) {
            const QByteArray keyword = line.trimmed().split(' ').value(0).split('=').value(0).toUpper();
            if (!keyword.isEmpty())
                m_extensions.insert(keyword);
        }
        return true;
    }
    // A server from before ESMTP: plain HELO, no extensions.
    if (!command("HELO " + clientName(), reply))
        return false;
    if (reply.code != 250)
        return refuse(QStringLiteral("服务器不接受问候：%1").arg(reply.text()),
                      refusalKind(reply.code, FailureKind::Unavailable));
    return true;
}

bool SmtpClient::startTls()
{
    SmtpReply reply;
    if (!command("STARTTLS", reply))
        return false;
    if (reply.code != 220)
        return refuse(QStringLiteral("服务器提供了 STARTTLS 却拒绝建立加密连接：%1").arg(reply.text()), FailureKind::Tls);
    if (!m_connection.startTls())
        return false;
    // What the server said before TLS may have been tampered with: ask again.
    return greet();
}

bool SmtpClient::open(const ServerAddress &server)
{
    m_server = server;
    m_connection.setMaxLineLength(kMaxReplyLine);
    if (!m_connection.connectToHost(server.host, server.port, server.implicitTls))
        return false;
    if (!server.implicitTls
        && !m_connection.awaitGreeting(QStringLiteral("该端口可能要求 TLS 直接连接，请写成 smtps://主机")))
        return false;
    SmtpReply reply;
    if (!readReply(reply))
        return false;
    if (reply.code != 220)
        return refuse(QStringLiteral("服务器拒绝服务：%1").arg(reply.text()), refusalKind(reply.code, FailureKind::Unavailable));
    if (!greet())
        return false;
    if (!m_connection.isEncrypted() && supports("STARTTLS"))
        return startTls();
    if (!m_connection.isEncrypted() && m_connection.tlsPolicy().required)
        return refuse(QStringLiteral("服务器 %1 没有提供加密连接（STARTTLS），而发送要求 TLS，邮件没有发出")
                              .arg(server.display()),
                      FailureKind::Tls);
    return true;
}

QList<QByteArray> SmtpClient::authMechanisms() const
{
    QList<QByteArray> mechanisms;
    for (const QByteArray &line : m_ehloLines) {
        const QByteArray trimmed = line.trimmed();
        // "AUTH PLAIN LOGIN", or the old "AUTH=PLAIN LOGIN".
        if (trimmed.size() > 5 && trimmed.left(4).toUpper() == "AUTH" && (trimmed[4] == ' ' || trimmed[4] == '=')) {
            for (const QByteArray &name : trimmed.mid(5).simplified().split(' '))
                if (!name.isEmpty() && !mechanisms.contains(name.toUpper()))
                    mechanisms << name.toUpper();
        }
    }
    return mechanisms;
}

qint64 SmtpClient::sizeLimit() const
{
    for (const QByteArray &line : m_ehloLines) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.value(0).toUpper() == "SIZE")
            return std::max<qint64>(words.value(1).toLongLong(), 0);
    }
    return 0;
}

SaslClient::Attempt SmtpClient::authenticateWith(SaslClient &sasl, const QByteArray &mechanism,
                                                     const QString &user, const QString &password, SmtpReply &reply)
{
    if (!sasl.start(mechanism, user, password, "smtp", m_server.host)) {
        refuse(sasl.errorText(), FailureKind::Authentication);
        return SaslClient::Attempt::Failed;
    }
    if (!command("AUTH " + mechanism, reply))
        return SaslClient::Attempt::Failed;
    for (int round = 0; reply.code == 334 && round < kMaxSaslRounds; ++round) {
        QByteArray response;
        if (sasl.step(reply.lines.value(0).trimmed(), response) == SaslClient::Step::Failed) {
            // "*" cancels the exchange (RFC 4954 4).
            if (command("*", reply))
                refuse(sasl.errorText(), FailureKind::Authentication);
            return SaslClient::Attempt::Failed;
        }
        m_connection.addSecret(response);
        if (!command(response, reply, kSecretPlaceholder))
            return SaslClient::Attempt::Failed;
    }
    if (reply.code == 235)
        return SaslClient::Attempt::Accepted;
    return reply.code == 535 ? SaslClient::Attempt::Refused : SaslClient::Attempt::Failed;
}

bool SmtpClient::authenticate(const QString &user, const QString &password)
{
    if (!m_connection.mayCarryCredentials(m_server.plainTextRequested))
        return refuse(QStringLiteral("服务器 %1 没有提供加密连接（TLS），为保护密码，登录信息没有发出。"
                                     "如确需以明文登录，请在服务器地址前写上 smtp://")
                          .arg(m_server.display()),
                      FailureKind::Tls);
    m_connection.addSecret(password.toUtf8());
    const QList<QByteArray> offered = authMechanisms();
    if (offered.isEmpty())
        return refuse(QStringLiteral("服务器不支持登录（没有提供 AUTH）"), FailureKind::Unavailable);
    SaslClient sasl;
    const QList<QByteArray> mechanisms = sasl.mechanismsToTry(offered, m_connection.isEncrypted());
    if (mechanisms.isEmpty())
        return refuse(QStringLiteral("服务器提供的登录方式（%1）都无法使用")
                          .arg(QString::fromLatin1(offered.join(' '))),
                      FailureKind::Unavailable);

    SmtpReply reply;
    QStringList tried;
    const SaslClient::Attempt outcome = SaslClient::tryInTurn(
            mechanisms, [&](const QByteArray &mechanism) { return authenticateWith(sasl, mechanism, user, password, reply); },
            [this](const QString &line) { m_connection.log(line); }, tried);
    if (outcome == SaslClient::Attempt::Accepted)
        return true;
    if (m_connection.hasFailed() || !m_error.isEmpty())
        return false;
    return refuse(QStringLiteral("登录失败（用户名或密码错误？已尝试的登录方式：%1）：%2")
                          .arg(tried.join(QStringLiteral("、")), reply.text()),
                  refusalKind(reply.code, FailureKind::Authentication));
}

bool SmtpClient::sendEnvelope(const QByteArray &from, const QList<QByteArray> &recipients,
                              const EnvelopeOptions &options)
{
    QByteArray mailFrom = "MAIL FROM:<" + from + ">";
    if (options.size >= 0 && supports("SIZE"))
        mailFrom += " SIZE=" + QByteArray::number(options.size);
    if (options.smtpUtf8)
        mailFrom += " SMTPUTF8";
    SmtpReply reply;
    if (!command(mailFrom, reply))
        return false;
    if (reply.code != 250)
        return refuse(QStringLiteral("服务器不接受发件人 <%1>：%2").arg(QString::fromUtf8(from), reply.text()),
                      refusalKind(reply.code, FailureKind::Refused));
    QStringList refused;
    bool refusedForGood = false;
    for (const QByteArray &recipient : recipients) {
        if (!command("RCPT TO:<" + recipient + ">", reply))
            return false;
        if (reply.code != 250 && reply.code != 251) {
            refused << QStringLiteral("<%1>（%2）").arg(QString::fromUtf8(recipient), reply.text());
            refusedForGood = refusedForGood || refusalKind(reply.code, FailureKind::Refused) == FailureKind::Refused;
        }
    }
    // Only when every refusal was temporary may the same send work later.
    if (!refused.isEmpty())
        return refuse(QStringLiteral("服务器拒绝了收件人：%1").arg(refused.join(QStringLiteral("，"))),
                      refusedForGood ? FailureKind::Refused : FailureKind::Connection);
    return true;
}

bool SmtpClient::sendMessage(GMimeObject *message, const std::function<bool(qint64)> &progress)
{
    SmtpReply reply;
    if (!command("DATA", reply))
        return false;
    if (reply.code != 354)
        return refuse(QStringLiteral("服务器不接受邮件内容：%1").arg(reply.text()),
                      refusalKind(reply.code, FailureKind::Refused));

    bool cancelled = false;
    qint64 sent = 0;
    SmtpDataWriter writer([&](const QByteArray &chunk) {
        if (!m_connection.write(chunk))
            return false;
        sent += chunk.size();
        if (progress && !progress(sent)) {
            cancelled = true;
            return false;
        }
        return true;
    });
    const bool written = writer.write(message);
    m_endMarkWritten = writer.endMarkPassed();
    if (!written || !m_connection.flush()) {
        m_connection.log(QStringLiteral("C: <邮件数据，发出 %1 字节后中止>").arg(sent));
        if (m_connection.hasFailed())
            return false;
        // The data is incomplete and has no end mark: dropping the line is
        // the only way to make sure the server never delivers it.
        return cancelled ? m_connection.fail(QStringLiteral("发送已取消"), FailureKind::Other)
                         : m_connection.fail(QStringLiteral("读取附件文件时出错，邮件没有发出"), FailureKind::LocalFile);
    }
    m_connection.log(QStringLiteral("C: <邮件数据，共 %1 字节>").arg(writer.bytesWritten()));
    if (!readReply(reply))
        return false;
    m_endMarkWritten = false;
    if (reply.code != 250)
        return refuse(QStringLiteral("服务器没有接受这封邮件：%1").arg(reply.text()),
                      refusalKind(reply.code, FailureKind::Refused));
    return true;
}

void SmtpClient::quit()
{
    if (m_connection.isConnected() && !m_connection.hasFailed()) {
        SmtpReply reply;
        // The mail is already accepted or refused; a failing goodbye
        // changes nothing, so it is not reported.
        if (m_connection.writeCommand("QUIT"))
            readReply(reply);
    }
    m_connection.close();
}

} // namespace component
