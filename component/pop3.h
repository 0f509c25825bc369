// SPDX-License-Identifier: MIT
#pragma once

#include "component/failure_kind.h"
#include "component/transfer_progress.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

namespace component {

class Message;
class Pop3Client;
class Pop3Messages;

// "orvex.POP3": one mailbox connection.
//
// Messages are handed out through the "messages" collection, each retrieved
// and parsed when asked for. "deletemessages" deletes exactly those that
// were handed out that way and retrieved in full; the server removes them
// when "disconnect" ends the session with QUIT. A session that breaks off,
// or an object released without "disconnect", deletes nothing.
class Pop3 : public QObject {
    Q_OBJECT
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout)
    Q_PROPERTY(bool logging MEMBER m_logging)
    // True: the waits take user input too, for an application that holds
    // it back itself (false: it stays queued until the call returns).
    Q_PROPERTY(bool passuserinput MEMBER m_passUserInput)
    Q_PROPERTY(qlonglong maxmessagesize READ maxMessageSize WRITE setMaxMessageSize)
    Q_PROPERTY(int lastmessage READ lastMessage WRITE setLastMessage)
    // "required": log on only over TLS; "opportunistic" (the default): STLS
    // whenever the server offers it.
    Q_PROPERTY(QString tls MEMBER m_tls)
    // True: each message keeps the bytes the server sent, for its "saveraw".
    Q_PROPERTY(bool keepraw MEMBER m_keepRaw)
    // SHA-256 of the one server certificate to trust (hexadecimal).
    Q_PROPERTY(QString tlsfingerprint MEMBER m_tlsFingerprint)
    // A CA bundle (PEM) to trust besides the system's, in place of ORVEX_CA_FILE.
    Q_PROPERTY(QString cafile MEMBER m_caFile)
    Q_PROPERTY(int count READ count)
    Q_PROPERTY(QObject *messages READ messages)
    Q_PROPERTY(QString log READ log)
    // The first failure of the session: why, in one line, and its kind by
    // name ("authentication", "connection", "tls", ...); empty while
    // nothing failed.
    Q_PROPERTY(QString lasterror READ lastError)
    Q_PROPERTY(QString failurekind READ failureKindName)
public:
    static constexpr qint64 kDefaultMaxMessageSize = 256 * 1024 * 1024;

    explicit Pop3(QObject *parent = nullptr);
    ~Pop3() override;

    // Logs on; false on any failure (the log says why). `host` may carry
    // the scheme pop3s:// (TLS from the first byte) or pop3:// (plain text
    // allowed); port 995 means TLS from the first byte too.
    Q_INVOKABLE bool connect(const QString &user, const QString &password, const QString &host, int port);
    // Deletes on the server the messages handed out through `messages` and
    // retrieved in full; the deletion takes effect at disconnect. All or
    // nothing: when the server refuses one, every deletion of the session
    // is undone (RSET), and the result is false; the log names the messages
    // that stay.
    Q_INVOKABLE bool deletemessages();
    // Logs off (QUIT) and closes the connection. False when the server did
    // not confirm the QUIT, or when deletions were pending on a line that
    // had broken off before (they were not committed); true when a broken
    // line had nothing pending.
    Q_INVOKABLE bool disconnect();
    // The unique id of each message (UIDL), element n-1 for message n;
    // empty when the server gives none. An automation error when the line
    // broke.
    Q_INVOKABLE QStringList uids();
    // The caller will not ask for message `number` in this session: it is
    // never read ahead.
    Q_INVOKABLE void skipmessage(int number);
    // Ends every transfer under way in this thread at once as a failure,
    // without QUIT: the server deletes nothing. Safe to call from inside a
    // wait of the transfer (the window that started it is being closed).
    Q_INVOKABLE void abandon();

    // Seconds; bounds connecting, every single wait and every reply line.
    int timeout() const { return m_timeout; }
    void setTimeout(int seconds);
    // Bytes a single message may bring at most (zero or less: the default
    // of 256 MB). A retrieval never takes more than half of what is free in
    // the temporary folder, less a margin, since the message and its
    // decoded attachments both pass through there.
    qint64 maxMessageSize() const { return m_maxMessageSize; }
    void setMaxMessageSize(qint64 bytes);
    // The last message the caller will ask for in this session: messages
    // are read ahead up to it and never beyond. 0 (as after connect) reads
    // nothing ahead.
    int lastMessage() const { return m_lastMessage; }
    void setLastMessage(int number);
    int count() const;
    QObject *messages() const;
    QString log() const { return m_log; }
    QString lastError() const { return m_lastError; }
    QString failureKindName() const { return component::failureKindName(m_failureKind); }

    // For the collection: retrieves and parses message `number` (from 1).
    // Null with the reason in `error` when that fails.
    Message *fetch(int number, QObject *parent, QString *error);

Q_SIGNALS:
    // What the mailbox is doing, for a status line: connecting, logging on,
    // "正在接收第 35 / 1000 封邮件". A few reports a second at most.
    void progress(const QString &text);
    // How far the fetch is, for a progress bar: `done` of `total`, counted
    // in thousandths of a message, in the same steps as progress().
    void progressamount(qint64 done, qint64 total);

private:
    void appendLog(const QString &line);
    // Keeps the first failure of the session for lasterror/failurekind.
    void noteFailure(const QString &reason, FailureKind kind);
    void undoDeletions(const QString &kept);
    void reportRetrieval(int number, qint64 bytesSoFar);

    qint64 retrievalLimit(bool inMemory, QString *error) const;

    int m_timeout = 300;
    qint64 m_maxMessageSize = kDefaultMaxMessageSize;
    int m_lastMessage = 0;
    bool m_logging = false;
    bool m_passUserInput = false;
    bool m_loggedOn = false;
    QString m_tls;
    bool m_keepRaw = false;
    QString m_tlsFingerprint;
    QString m_caFile;
    QSet<int> m_skipped;
    QString m_log;
    QString m_lastError;
    FailureKind m_failureKind = FailureKind::None;
    std::unique_ptr<Pop3Client> m_client;
    Pop3Messages *m_messages;
    QSet<int> m_retrieved;  // handed out and retrieved in full
    QSet<int> m_deleted;    // DELE accepted in this session
    ProgressThrottle m_progressThrottle;
};

} // namespace component
