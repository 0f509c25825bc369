// SPDX-License-Identifier: MIT
#pragma once

#include "component/failure_kind.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QTemporaryFile;

namespace component {

class Attachments;
class Recipients;

// "orvex.Message": a message to send (made new, filled and sent) or one
// fetched from a POP3 mailbox (filled by the reader, then read).
class Message : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString charset MEMBER m_charset)
    Q_PROPERTY(bool silent MEMBER m_silent)
    Q_PROPERTY(bool logging MEMBER m_logging)
    Q_PROPERTY(int priority MEMBER m_priority)
    Q_PROPERTY(bool returnreceipt MEMBER m_returnreceipt)
    Q_PROPERTY(QString from MEMBER m_from)
    Q_PROPERTY(QString fromname MEMBER m_fromname)
    Q_PROPERTY(QString htmlbody MEMBER m_htmlbody)
    Q_PROPERTY(QString body MEMBER m_body)
    Q_PROPERTY(QString subject MEMBER m_subject)
    Q_PROPERTY(QString mailserverusername MEMBER m_mailserverusername)
    Q_PROPERTY(QString mailserverpassword READ maskedPassword WRITE setMailserverpassword)
    Q_PROPERTY(int timeout MEMBER m_timeout)
    // True: the send's waits take user input too, for an application that
    // holds it back itself (false: it stays queued until send returns).
    Q_PROPERTY(bool passuserinput MEMBER m_passUserInput)
    Q_PROPERTY(QDateTime date MEMBER m_date)
    // Fetched: the zone the Date header was written in, seconds east of UTC.
    Q_PROPERTY(int dateoffset MEMBER m_dateOffset)
    // Fetched: the Cc addresses (also among "recipients", after the To ones).
    // Sending: the Cc addresses added with addcc.
    Q_PROPERTY(QStringList cc READ ccAddresses)
    // Fetched: the first Reply-To address, the Message-ID and In-Reply-To
    // (without their angle brackets).
    Q_PROPERTY(QString replyto MEMBER m_replyTo)
    Q_PROPERTY(QString messageid MEMBER m_messageId)
    Q_PROPERTY(QString inreplyto MEMBER m_inReplyTo)
    // Fetched: the message as plain text, for a reader without HTML: its
    // text/plain alternative (what "body" holds), else its HTML made text.
    Q_PROPERTY(QString plaintext READ plainText)
    // Sending: "required" sends only over TLS; "opportunistic" (the
    // default) uses STARTTLS whenever the server offers it.
    Q_PROPERTY(QString tls MEMBER m_tls)
    // Sending: SHA-256 of the one server certificate to trust (hexadecimal).
    Q_PROPERTY(QString tlsfingerprint MEMBER m_tlsFingerprint)
    // Sending: a CA bundle (PEM) to trust besides the system's, in place of
    // ORVEX_CA_FILE.
    Q_PROPERTY(QString cafile MEMBER m_caFile)
    Q_PROPERTY(QString log READ log)
    // After a failed send: the data had gone out to its end, so the server
    // may have taken the message all the same.
    Q_PROPERTY(bool maybesent READ maybeSent)
    // After a failed send: why, in one line, and the kind of failure by
    // name ("authentication", "connection", "tls", ...); empty otherwise.
    Q_PROPERTY(QString lasterror READ lastError)
    Q_PROPERTY(QString failurekind READ failureKindName)
    Q_PROPERTY(QObject *recipients READ recipients)
    Q_PROPERTY(QObject *attachments READ attachments)
public:
    explicit Message(QObject *parent = nullptr);
    ~Message() override;

    // Adds one To address. False for an empty address.
    Q_INVOKABLE bool addrecipient(const QString &address);
    // Adds one Cc address, written into the message; false for an empty one.
    Q_INVOKABLE bool addcc(const QString &address);
    // Adds one Bcc address: it receives the message, and no header names it.
    Q_INVOKABLE bool addbcc(const QString &address);
    // Fetched with the mailbox's "keepraw" on: writes the message exactly as
    // the server sent it (dot stuffing undone) into a new file of `folder`,
    // under a unique name, flushed to disk, and returns the file's path.
    // Empty, with an automation error, when that fails.
    Q_INVOKABLE QString saveraw(const QString &folder);
    // Attaches the file at `path` under its base name; the file is read at
    // send time. The second argument is accepted for compatibility.
    Q_INVOKABLE bool addattachment(const QString &path, bool encode);
    // Sends the message to "host:port" (the host may carry smtps:// or
    // smtp://). True when the server accepted it; with `silent` off a
    // failure is also raised as an automation error.
    Q_INVOKABLE bool send(const QString &server);
    // Ends every transfer under way in this thread at once as a failure; a
    // server that never saw the end of the data delivers nothing. Safe to
    // call from inside a wait of the send (its window is being closed).
    Q_INVOKABLE void abandon();
    // Ends the object's use: forgets recipients, attachments and contents.
    Q_INVOKABLE void close();

    QString log() const { return m_log; }
    bool maybeSent() const { return m_maybeSent; }
    QString lastError() const { return m_lastError; }
    QString failureKindName() const { return component::failureKindName(m_failureKind); }
    QObject *recipients() const;
    QObject *attachments() const;

    // C++ side, for the sender and the POP3 reader.
    Recipients *recipientList() const { return m_recipients; }
    Attachments *attachmentList() const { return m_attachments; }
    const QStringList &attachmentFiles() const { return m_attachmentFiles; }
    QString charset() const { return m_charset; }
    bool silent() const { return m_silent; }
    bool logging() const { return m_logging; }
    int priority() const { return m_priority; }
    bool returnReceipt() const { return m_returnreceipt; }
    QString fromAddress() const { return m_from; }
    QString fromName() const { return m_fromname; }
    QString htmlBody() const { return m_htmlbody; }
    QString plainBody() const { return m_body; }
    QString plainText() const;
    QString subject() const { return m_subject; }
    QString username() const { return m_mailserverusername; }
    QString password() const { return m_mailserverpassword; }
    int timeoutSeconds() const { return m_timeout; }
    QDateTime date() const { return m_date; }
    QStringList ccAddresses() const { return m_cc; }
    QStringList bccAddresses() const { return m_bcc; }
    QString tlsMode() const { return m_tls; }
    QString tlsFingerprint() const { return m_tlsFingerprint; }
    QString caFile() const { return m_caFile; }

    void setFromAddress(const QString &v) { m_from = v; }
    void setFromName(const QString &v) { m_fromname = v; }
    void setSubject(const QString &v) { m_subject = v; }
    void setHtmlBody(const QString &v) { m_htmlbody = v; }
    void setPlainBody(const QString &v) { m_body = v; }
    void setDate(const QDateTime &v) { m_date = v; }
    void setDateOffset(int seconds) { m_dateOffset = seconds; }
    void addCcAddress(const QString &v) { m_cc.append(v); }
    void setReplyTo(const QString &v) { m_replyTo = v; }
    void setMessageId(const QString &v) { m_messageId = v; }
    void setInReplyTo(const QString &v) { m_inReplyTo = v; }
    // The bytes the server sent, for saveraw: held in memory, or in a file
    // the message then owns.
    void setRawContent(const QByteArray &raw)
    {
        m_raw = raw;
        m_rawKept = true;
    }
    void setRawFile(std::unique_ptr<QTemporaryFile> file);
    void setMailserverpassword(const QString &v) { m_mailserverpassword = v; }
    // The password is write-only to callers: reading it gives a mask.
    QString maskedPassword() const { return m_mailserverpassword.isEmpty() ? QString() : QStringLiteral("********"); }

    // Called while a send puts the message data on the line, with the
    // bytes sent so far; returning false cancels the send.
    using ProgressHandler = std::function<bool(qint64 bytesSent)>;
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }

    // The transfer log: one line per command and reply, kept when `logging`
    // is on. Callers pass text that never holds a secret.
    void appendLog(const QString &line);
    void clearLog() { m_log.clear(); }

Q_SIGNALS:
    // What a running send is doing, for a status line: connecting, logging
    // on, "正在发送 12.3 / 137.0 MB". A few reports a second at most.
    void progress(const QString &text);
    // How far a running send is, for a progress bar: bytes of the message
    // sent of those expected, in the same steps as progress().
    void progressamount(qint64 done, qint64 total);

private:
    QString m_charset = QStringLiteral("utf-8");
    bool m_silent = false;
    bool m_logging = false;
    int m_priority = 3;
    bool m_returnreceipt = false;
    QString m_from;
    QString m_fromname;
    QString m_htmlbody;
    QString m_body;
    QString m_subject;
    QString m_mailserverusername;
    QString m_mailserverpassword;
    int m_timeout = 300;
    bool m_passUserInput = false;
    QDateTime m_date;
    int m_dateOffset = 0;
    QStringList m_cc;
    QStringList m_bcc;
    QString m_replyTo;
    QString m_messageId;
    QString m_inReplyTo;
    QString m_tls;
    QString m_tlsFingerprint;
    QString m_caFile;
    QByteArray m_raw;
    bool m_rawKept = false;
    std::unique_ptr<QTemporaryFile> m_rawFile;
    QString m_log;
    bool m_maybeSent = false;
    QString m_lastError;
    FailureKind m_failureKind = FailureKind::None;
    QStringList m_attachmentFiles;
    Recipients *m_recipients;
    Attachments *m_attachments;
    ProgressHandler m_progress;
};

} // namespace component
