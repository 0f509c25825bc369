// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// A mailto: link (RFC 6068) as a compose form can use it: the addresses
// and the two texts it names, percent-decoded. Header fields other than
// these (In-Reply-To, attachments some programs invent, ...) are dropped:
// a link from a web page must not reach further into the message.
struct MailtoLink {
    QStringList to;   // the addresses before "?" and of every to= field
    QStringList cc;
    QStringList bcc;
    QString subject;  // one line
    QString body;     // line breaks as "\n"
};

// True when `text` is a mailto: link (the scheme in any letter case).
bool isMailtoLink(const QString &text);

// Reads a mailto: link; text that is not one gives an empty link.
MailtoLink parseMailtoLink(const QString &text);
