// SPDX-License-Identifier: MIT
#pragma once

#include "component/line_connection.h"
#include "component/sasl_client.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QIODevice;

namespace component {

// The client side of one POP3 session (RFC 1939, with CAPA and PIPELINING
// of RFC 2449, STLS of RFC 2595, SASL of RFC 5034 and UTF8 of RFC 6856).
//
// open() logs on: greeting, CAPA, STLS when offered (or TLS from the first
// byte on port 995 and with the scheme pop3s://), UTF8 when offered, SASL
// through GNU SASL when the server offers it, else USER and PASS; then
// STAT and LIST. A password
// goes out only over TLS, to a loopback address, or when the user wrote the
// scheme pop3:// and so asked for plain text.
//
// retrieve() fetches one message. When the server pipelines and the
// requests come in ascending order, retrieval commands for the following
// messages are sent ahead, up to the last message the caller said it will
// ask for (none without that), in a window bounded by the sizes LIST gave;
// their replies are read only when asked for (or discarded before the next
// command that is not a retrieval), so read-ahead alone never counts as a
// retrieval.
//
// A hostile server is held to bounds: a reply line must be complete within
// the timeout, multi-line replies and message data must keep coming at
// kMinimumDataRate on average (after a head start of one timeout), a
// message may not exceed the size limit, and data that no command asked for
// breaks the session.
//
// Any broken read or write closes the line at once without QUIT, so the
// server deletes nothing of the session.
class Pop3Client {
public:
    using Logger = LineConnection::Logger;

    explicit Pop3Client(int timeoutSeconds = 300);
    ~Pop3Client();
    Pop3Client(const Pop3Client &) = delete;
    Pop3Client &operator=(const Pop3Client &) = delete;

    void setTimeout(int seconds) { m_conn.setTimeout(seconds); }
    void setPassUserInput(bool pass) { m_conn.setPassUserInput(pass); }
    void setTlsPolicy(const TlsPolicy &policy) { m_conn.setTlsPolicy(policy); }
    void setLogger(Logger logger);
    // Told, with a text for a status line, when open() starts connecting
    // and when it starts logging on.
    void setProgressHandler(std::function<void(const QString &)> handler) { m_progress = std::move(handler); }

    // `host` may carry the scheme pop3s:// or pop3://; port 0 means the
    // default (110, or 995 with pop3s://).
    bool open(const QString &user, const QString &password, const QString &host, int port);

    bool isOpen() const { return m_loggedIn && m_conn.isConnected() && !m_conn.hasFailed(); }
    int messageCount() const { return m_count; }
    qint64 messageSize(int number) const;
    bool pipelining() const { return m_pipelining; }
    // The last message the caller will ask for: read-ahead never goes past
    // it. 0 (the default) reads no further ahead than the message asked for.
    void setLastWanted(int number) { m_lastWanted = number; }
    // Messages the caller will not ask for: never read ahead.
    void setSkipped(const QSet<int> &numbers) { m_skipped = numbers; }
    // The unique ids of messages 1 to messageCount() (UIDL); false when the
    // line broke. A server without UIDL leaves `uids` empty and
    // `*supported` false.
    bool readUids(QStringList &uids, bool *supported);
    // The most a single message may bring; more breaks the session.
    void setMessageSizeLimit(qint64 bytes) { m_messageSizeLimit = bytes; }

    // Retrieves message `number` (from 1) into `out`. On failure the reason
    // is in errorText(); a broken line also leaves the session closed.
    bool retrieve(int number, QIODevice &out);

    // Marks the given messages deleted (DELE); the server removes them at
    // QUIT. True when the server accepted every one; `accepted` receives
    // those it did accept.
    bool markDeleted(const QList<int> &numbers, QList<int> *accepted = nullptr);

    // Undoes every deletion of this session (RSET). True when the server
    // confirmed it.
    bool resetDeletions();

    // Ends the session with QUIT (when the line is still sound) and closes
    // it. True when the server confirmed the QUIT.
    bool quit();
    // Closes the line without QUIT.
    void abort();

    QString errorText() const { return m_error.isEmpty() ? m_conn.errorText() : m_error; }
    FailureKind failureKind() const;

    // Read-ahead bounds: retrieval commands outstanding beyond the one asked
    // for, and the LIST sizes those messages may add up to. Enough to keep a
    // link with a long round trip busy (2 MB in flight fills 25 ms at
    // 600 Mbit/s); what is in flight waits in the server and the network,
    // not here.
    static constexpr int kMaxReadAhead = 128;
    static constexpr qint64 kMaxReadAheadBytes = 2 * 1024 * 1024;
    // Bytes per second that multi-line replies and message data must keep
    // up on average: even a GPRS link manages several times as much, a
    // server that trickles to keep a transfer alive for hours does not.
    static constexpr qint64 kMinimumDataRate = 1024;

private:
    struct Reply {
        bool ok = false;
        QByteArray text;   // after "+OK " / "-ERR "
    };

    bool connectAndGreet(const QString &host, quint16 port, bool implicitTls);
    bool readCapabilities();
    bool startTls();
    bool enableUtf8();
    bool authenticate(const QString &user, const QString &password, bool plainTextRequested);
    // Refused: the server said -ERR to the exchange (its text in `refusal`);
    // the session stays open for another try.
    SaslClient::Attempt authenticateSasl(const QByteArray &mechanism, const QString &user, const QString &password,
                                 QByteArray &refusal);
    bool authenticateUserPass(const QString &user, const QString &password);
    bool readStatAndList();

    bool sendCommand(const QByteArray &command, const QString &shownAs = QString());
    // Reads one line, which must be complete within the timeout and, when
    // given, before `pace` has passed.
    bool readStatusLine(QByteArray &line, const QDeadlineTimer &pace = QDeadlineTimer(QDeadlineTimer::Forever));
    // Reads the status line of the reply to the oldest command unanswered.
    bool readReply(Reply &reply);
    void replyArrived();
    // Hands each line of a multi-line reply (dot stuffing undone) to `each`;
    // more than `maxLines` lines break the session.
    bool readMultiLineText(const std::function<void(const QByteArray &)> &each, qsizetype maxLines);
    bool skipMultiLineText();
    // Streams the message of a retrieval reply into `out` (or nowhere), dot
    // stuffing undone; `bytes` counts what was written. More than `limit`
    // bytes break the session with `pastLimit` as the reason.
    // `startsLikeReply` (when given) tells whether the data began like a
    // status line. `listed` is the message's size as LIST gave it (0:
    // unknown), which lets a large message be read in batches.
    bool readMultiLineData(QIODevice *out, qint64 &bytes, qint64 limit, const QString &pastLimit,
                           bool *startsLikeReply = nullptr, qint64 listed = 0);
    bool fillBuffer(const ReadDeadline &deadline = {});
    ReadDeadline paceDeadline(const QDeadlineTimer &pace) const;

    bool sendRetrievals(int upTo);
    void topUpReadAhead(int current);
    bool discardOutstanding();
    bool readRetrievalReply(int number, QIODevice *out, bool *startsLikeReply = nullptr);
    bool confirmInStep(int number);
    bool failSession(const QString &text, FailureKind kind = FailureKind::Protocol);
    bool failOnUnaskedData();
    bool refuse(const QString &text, FailureKind kind);
    void setError(const QString &text, FailureKind kind);
    void clearError();

    LineConnection m_conn;
    QByteArray m_buffer;
    QString m_error;
    FailureKind m_failureKind = FailureKind::None;
    QString m_host;
    QList<QByteArray> m_capabilities;
    QList<QByteArray> m_saslMechanisms;
    bool m_pipelining = false;
    bool m_loggedIn = false;
    int m_count = 0;
    // Sizes LIST gave, by message number: only as many as the server sent,
    // whatever count STAT claims.
    QHash<int, qint64> m_sizes;
    std::deque<int> m_outstanding; // RETR sent, reply not read yet
    int m_repliesDue = 0;          // commands sent whose status line is not read yet
    int m_lastRequested = 0;
    int m_lastWanted = 0;
    QSet<int> m_skipped;
    qint64 m_messageSizeLimit = 256 * 1024 * 1024;
    std::function<void(const QString &)> m_progress;
};

} // namespace component
