#pragma once

#include "component/transfer_progress.h"

#include <QObject>
#include <QSet>
#include <QString>
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
    Q_PROPERTY(int count READ count)
    Q_PROPERTY(QObject *messages READ messages)
    Q_PROPERTY(QString log READ log)
public:
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

    // Seconds; bounds connecting and every single wait.
    int timeout() const { return m_timeout; }
    void setTimeout(int seconds);
    int count() const;
    QObject *messages() const;
    QString log() const { return m_log; }

    // For the collection: retrieves and parses message `number` (from 1).
    // Null with the reason in `error` when that fails.
    Message *fetch(int number, QObject *parent, QString *error);

Q_SIGNALS:
    // What the mailbox is doing, for a status line: connecting, logging on,
    // "正在接收第 35 / 1000 封邮件". A few reports a second at most.
    void progress(const QString &text);

private:
    void appendLog(const QString &line);
    void undoDeletions(const QString &kept);
    void reportRetrieval(int number, qint64 bytesSoFar);

    int m_timeout = 300;
    bool m_logging = false;
    bool m_loggedOn = false;
    QString m_log;
    std::unique_ptr<Pop3Client> m_client;
    Pop3Messages *m_messages;
    QSet<int> m_retrieved;  // handed out and retrieved in full
    QSet<int> m_deleted;    // DELE accepted in this session
    ProgressThrottle m_progressThrottle;
};

} // namespace component
