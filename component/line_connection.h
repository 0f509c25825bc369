// SPDX-License-Identifier: MIT
#pragma once

#include "component/failure_kind.h"
#include "component/tls_policy.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QSslError;
class QSslSocket;
class QTcpSocket;
class QTimer;

namespace component {

// A limit on a read besides the timeout: the wait ends when `at` has
// passed, and the failure then says `reason`.
struct ReadDeadline {
    QDeadlineTimer at{QDeadlineTimer::Forever};
    QString reason;
};

// The transport under our line protocols (SMTP, POP3): one TCP connection,
// plain or TLS, read a CRLF line at a time or in raw chunks, written through
// a bounded send buffer.
//
// Every call blocks until it is done, failed, or the timeout (in seconds)
// has passed; the timeout bounds connecting and each single wait, so a
// transfer that keeps moving never times out. The waits run a local event
// loop that skips user input, because the component is driven from a GUI
// handler that has no loop of its own to give.
//
// Certificates are verified against the system store, plus the CA bundle
// named by the policy or by the environment variable ORVEX_CA_FILE (a
// bundle named but unreadable fails the connection); a pinned fingerprint
// trusts exactly one certificate instead.
//
// A failed call returns false and leaves errorText() set; after a failure
// the connection is closed and every further call fails with the same text.
class LineConnection {
public:
    using Logger = std::function<void(const QString &)>;

    explicit LineConnection(int timeoutSeconds = 300);
    ~LineConnection();
    LineConnection(const LineConnection &) = delete;
    LineConnection &operator=(const LineConnection &) = delete;

    // Seconds; zero or less means the default of 300.
    void setTimeout(int seconds);
    int timeoutSeconds() const { return m_timeoutSeconds; }
    // Longest line readLine() accepts (without its CRLF). A longer one is an
    // error, never an unbounded buffer.
    void setMaxLineLength(qint64 bytes) { m_maxLineLength = bytes; }
    // Whether the waits also take user input from the window system. Off
    // (the default), input stays queued until the call returns; on, for an
    // application that holds input back itself and still wants to see a
    // request to close a window while the transfer runs.
    void setPassUserInput(bool pass) { m_passUserInput = pass; }
    // Where writeCommand(), readReply() and failures report, one line each.
    void setLogger(Logger logger) { m_logger = std::move(logger); }
    // What TLS must give; the protocols above read `required` back.
    void setTlsPolicy(const TlsPolicy &policy) { m_tlsPolicy = policy; }
    const TlsPolicy &tlsPolicy() const { return m_tlsPolicy; }

    // Loads the TLS library and its settings for the process; slow the
    // first time only.
    static void loadTlsLibrary();

    // Connects to host:port, with TLS from the first byte when implicitTls.
    bool connectToHost(const QString &host, quint16 port, bool implicitTls);
    // Upgrades the open plain connection to TLS (after the server agreed to
    // STARTTLS or STLS). Whatever was buffered before is discarded.
    bool startTls();

    // Reads one line; `line` receives it without its line break (CRLF or a
    // bare LF).
    bool readLine(QByteArray &line);
    // Appends up to maxBytes to `buffer`, waiting until at least one byte
    // is there.
    bool readMore(QByteArray &buffer, qint64 maxBytes, const ReadDeadline &deadline = {});
    // For a bulk transfer of which at least `bytes` more are sure to come:
    // readMore() then waits for that much to have arrived, or for
    // kReadBatchWaitMs, rather than waking for every packet, which costs
    // this side and the sending side alike. 0 turns it off again.
    void setReadBatch(int bytes);
    static constexpr int kReadBatchWaitMs = 20;
    // True when data has arrived that no one has read yet; takes in what
    // has reached this machine, without waiting for more.
    bool hasUnreadData();
    // True when a whole line is already buffered (no wait).
    bool canReadLine() const;
    qint64 bytesAvailable() const;

    // Queues data for sending; waits while more than the buffer limit is
    // still unsent, so a large transfer never piles up in memory.
    bool write(const QByteArray &data);
    // Waits until everything written has gone to the network.
    bool flush();

    // The logged forms: writeCommand() sends `command` + CRLF and logs
    // "C: " with `shownAs` (when given) in place of the command, so that a
    // secret never reaches the log; readReply() reads a line and logs it as
    // "S: ...".
    bool writeCommand(const QByteArray &command, const QString &shownAs = QString());
    bool readReply(QByteArray &line);
    void log(const QString &line) const;

    // Closes politely (what was written is still sent); never fails.
    void close();

    bool isConnected() const;
    bool isEncrypted() const;
    // True when the peer's address is a loopback address (127.0.0.0/8, ::1).
    bool isLoopback() const;
    // Whether a password may be sent over this connection: it is encrypted,
    // or it never leaves this machine, or the user asked for plain text
    // explicitly. Anything else would show the password to the network.
    bool mayCarryCredentials(bool plainTextRequested) const
    {
        return isEncrypted() || isLoopback() || plainTextRequested;
    }
    QHostAddress localAddress() const;
    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    // Protocol and cipher of the TLS session, for the log.
    QString tlsDescription() const;

    // Records a failure of the protocol above (a refused command, a reply
    // that makes no sense): logs it, closes the connection and keeps the
    // text and its kind. Returns false, for `return conn.fail(...)`.
    bool fail(const QString &text, FailureKind kind = FailureKind::Protocol);
    // Ends the transfer of every connection of this thread at once, as a
    // failure: a wait under way returns, and nothing more is sent (no QUIT,
    // so a POP3 server commits no deletion). For the user who closes the
    // window that started the transfer.
    static void abandonAll();
    bool hasFailed() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }
    FailureKind failureKind() const { return m_failureKind; }

    // Marks `secret` (a password, an authentication response) as sent in
    // confidence: wherever the server's text is logged or reported as an
    // error, it shows as ******** instead, so that a server that quotes
    // what it was sent leaks nothing.
    void addSecret(const QByteArray &secret);
    QString masked(const QString &text) const;

    // Waits, on a fresh plain connection, for the server to speak first, as
    // SMTP and POP3 servers do. A server that sends a TLS record instead,
    // or stays silent for a few seconds, most likely waits for a TLS
    // handshake: that fails at once with `hint` instead of after the full
    // timeout.
    bool awaitGreeting(const QString &hint);
    // How long awaitGreeting() waits for the first byte.
    static constexpr int kGreetingWaitSeconds = 8;

    // The send buffer limit write() keeps to.
    static constexpr qint64 kMaxPendingBytes = 1024 * 1024;

private:
    // Makes `socket` the one this connection reads and writes, with every
    // signal a wait listens to; the socket it replaces is dropped.
    void adoptSocket(std::unique_ptr<QTcpSocket> socket);
    // Sets the socket's low-water mark for reads (SO_RCVLOWAT).
    void setReceiveLowWater(int bytes);
    // Hands the connected line from the plain socket to a TLS socket.
    bool moveLineToTlsSocket();
    // Closes the line at once, discarding what is still queued for it.
    void abortWithReset();
    enum class WaitResult { Done, TimedOut, Broken };
    WaitResult waitUntil(const std::function<bool()> &done,
                         const QDeadlineTimer &deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    qint64 pendingBytes() const;
    bool failWait(WaitResult result, const QString &what);
    QString socketErrorText() const;
    FailureKind socketFailureKind() const;
    bool prepareTls();
    void checkCertificateErrors(const QList<QSslError> &errors);
    bool pinnedCertificateMatches() const;
    bool failConnect(WaitResult result, const QString &target);
    bool waitForEncrypted(const QString &target);
    QEventLoop::ProcessEventsFlags waitFlags() const;

    // Plain until TLS starts, then the TLS socket that took the line over,
    // which m_tls also points to.
    std::unique_ptr<QTcpSocket> m_socket;
    QSslSocket *m_tls = nullptr;
    std::unique_ptr<QTimer> m_timer;
    QEventLoop *m_loop = nullptr;
    bool m_timedOut = false;
    bool m_quitting = false;
    bool m_abandoned = false;
    bool m_passUserInput = false;
    int m_readBatch = 0;
    int m_timeoutSeconds = 300;
    qint64 m_maxLineLength = 1024 * 1024;
    QString m_host;
    quint16 m_port = 0;
    QString m_error;
    FailureKind m_failureKind = FailureKind::None;
    QStringList m_secrets;
    QStringList m_sslErrors;
    Logger m_logger;
    TlsPolicy m_tlsPolicy;
};

} // namespace component
