// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Helpers shared by the sending tests: drive the real component library
// through the automation layer, as the program does, and take apart what
// arrived with GMime.
namespace smtptest {

struct Outgoing {
    QString charset = QStringLiteral("gb2312");
    QString from;
    QString fromName;
    QStringList recipients;
    QString subject;
    QString body;
    QString htmlBody;
    QStringList attachments;
    bool returnReceipt = false;
    QString user;     // logs on when not empty
    QString password;
    int timeout = 0;  // seconds; 0 keeps the component's default
    bool silent = true;
};

struct SendResult {
    bool sent = false;
    QString log;
    QString raisedError; // the automation error of the send call, if any
    QString lastError;   // the properties "lasterror" and "failurekind"
    QString failureKind;
};

// Registers the component (once) and sends `mail` to `server` through an
// "orvex.Message". Fails the calling test on a broken automation call.
SendResult send(const Outgoing &mail, const QString &server);

struct Part {
    QString mimeType;    // "text/plain"
    QString charset;     // the charset parameter, lower case
    QString filename;    // decoded, empty for the bodies
    QByteArray content;  // decoded (transfer encoding removed)
    QString text;        // text parts: the content in Unicode
};

struct Received {
    bool parsed = false;
    QString subject;
    QString fromName;
    QString fromAddress;
    QStringList to;
    QList<Part> parts; // leaf parts, in order
    QByteArray rawHeaders;
    QString topType;    // e.g. "multipart/mixed"

    QByteArray header(const char *name) const;
};

Received parse(const QByteArray &raw);

// Puts LF line breaks on any CRLF text, for comparing bodies.
QString lf(QString text);

} // namespace smtptest
