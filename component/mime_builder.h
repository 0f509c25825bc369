// SPDX-License-Identifier: MIT
#pragma once

#include "component/mail_address.h"

#include <QByteArray>
#include <QList>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

typedef struct _GMimeMessage GMimeMessage;

namespace component {

// Everything a message to send is made of, as the sender was given it.
struct OutgoingMessage {
    QByteArray charset;           // preferred charset for headers and texts
    MailAddress from;             // its name is the sender's display name
    QList<MailAddress> recipients; // To
    QList<MailAddress> cc;         // Cc (Bcc never reaches the builder)
    // Addresses in UTF-8 in the header (RFC 6532), for a server that
    // takes SMTPUTF8; otherwise every address must have an ASCII form.
    bool utf8Addresses = false;
    QString subject;
    QString plainBody;            // text/plain when not empty
    QString htmlBody;             // text/html when not empty
    QStringList attachmentFiles;  // paths, attached under their base names
    int priority = 3;             // 1 (highest) .. 5 (lowest); other values: no header
    bool returnReceipt = false;
    QDateTime date;               // the Date header; now when invalid
};

struct GMimeMessageDeleter {
    void operator()(GMimeMessage *message) const;
};
using GMimeMessagePtr = std::unique_ptr<GMimeMessage, GMimeMessageDeleter>;

// Builds the MIME structure of `message`: text/plain alone, or text/plain
// and text/html as multipart/alternative (the plain text made from the HTML
// when none was given), inside multipart/mixed when files are attached.
// Attachment files are opened here but read only when the message is
// written, a piece at a time. Null, with the reason in `error`, when an
// attachment cannot be read.
GMimeMessagePtr buildMimeMessage(const OutgoingMessage &message, QString *error);

// Checks that `path` names a regular file that can be opened for reading.
// An empty result means it can; otherwise the reason, for the log.
QString unreadableFileReason(const QString &path);

} // namespace component
