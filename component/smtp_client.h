// SPDX-License-Identifier: MIT
#pragma once

#include "component/failure_kind.h"
#include "component/sasl_client.h"
#include "component/server_address.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>

typedef struct _GMimeObject GMimeObject;

namespace component {

class LineConnection;

// One reply of an SMTP server (RFC 5321 4.2): a code and its text lines.
struct SmtpReply {
    int code = 0;
    QList<QByteArray> lines; // the text after the code, one per reply line

    bool isPositive() const { return code >= 200 && code < 400; }
    QString text() const;
};

// What MAIL FROM declares besides the sender (RFC 1870, RFC 6531).
struct EnvelopeOptions {
    qint64 size = -1;      // SIZE=, sent when not negative and the server offers SIZE
    bool smtpUtf8 = false; // the envelope or the header holds UTF-8 addresses
};

// Our side of an SMTP dialogue over a LineConnection: greeting, EHLO (HELO
// for old servers), STARTTLS whenever offered, AUTH through SASL, the
// envelope, the message data and QUIT. Every command and reply goes to the
// connection's log; a password never does.
//
// Each step returns false on failure with errorText() set and logged; a
// server's refusal leaves the connection open for quit().
class SmtpClient {
public:
    explicit SmtpClient(LineConnection &connection) : m_connection(connection) {}

    // Connects, reads the greeting, introduces itself and switches to TLS
    // when the server offers it.
    bool open(const ServerAddress &server);
    // Logs on with the strongest mechanism both sides know; on an encrypted
    // link a refused challenge-response mechanism is followed by PLAIN or
    // LOGIN. Refuses, before anything is sent, to let a password cross an
    // unencrypted link to another machine unless the user asked for plain
    // text.
    bool authenticate(const QString &user, const QString &password);
    // MAIL FROM and one RCPT TO per recipient. Every recipient is tried so
    // that the log names all those the server refuses; any refusal fails.
    bool sendEnvelope(const QByteArray &from, const QList<QByteArray> &recipients, const EnvelopeOptions &options);
    // DATA: the message, streamed from GMime through the dot-stuffing
    // filter into the socket. `progress` (may be empty) gets the bytes sent
    // so far and returns false to cancel.
    bool sendMessage(GMimeObject *message, const std::function<bool(qint64)> &progress);
    // Says goodbye when the line is still up, then closes it.
    void quit();

    QString errorText() const;
    // True when the send failed after the final "." of the data had gone to
    // the connection: the server may have taken the message all the same.
    bool maybeSent() const { return m_endMarkWritten; }
    FailureKind failureKind() const;
    bool supports(const QByteArray &extension) const { return m_extensions.contains(extension); }
    // The largest message the server takes (its SIZE extension); 0 when it
    // names no limit.
    qint64 sizeLimit() const;
    // Fails the send for a reason found on our side, with a line in the log.
    bool refuse(const QString &text, FailureKind kind);

private:
    bool readReply(SmtpReply &reply);
    bool command(const QByteArray &line, SmtpReply &reply, const QString &shownAs = QString());
    // One logon with one mechanism; refused on 535, the usual answer to
    // credentials the server turns down (RFC 4954).
    SaslClient::Attempt authenticateWith(SaslClient &sasl, const QByteArray &mechanism, const QString &user,
                                         const QString &password, SmtpReply &reply);
    bool greet();
    bool startTls();
    QByteArray clientName() const;
    QList<QByteArray> authMechanisms() const;

    LineConnection &m_connection;
    ServerAddress m_server;
    QSet<QByteArray> m_extensions; // EHLO keywords, upper case
    QList<QByteArray> m_ehloLines;
    QString m_error;
    bool m_endMarkWritten = false;
    FailureKind m_failureKind = FailureKind::None;
};

} // namespace component
