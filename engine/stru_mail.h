// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// One message, outgoing or fetched. Some fields serve only one direction.
struct stru_mail {
    QString senderaddress;
    QString sendername;
    QString recipientaddress;       // sending: all recipients, separated by commas or semicolons
    QStringList recipientaddress1;  // fetched: one recipient address per element (To, then Cc)
    QString ccaddress;              // sending: Cc recipients, separated as recipientaddress
    QString bccaddress;             // sending: Bcc recipients, never written into the message
    QStringList ccaddress1;         // fetched: the Cc addresses alone
    QString replyto;                // fetched: the first Reply-To address
    QString messageid;              // fetched: Message-ID, without angle brackets
    QString inreplyto;              // fetched: In-Reply-To, without angle brackets
    QString subject;
    QString body;
    QStringList attachment;         // sending: files to attach; fetched: paths they were saved to
    bool returnreceipt = false;
    bool html = false;              // body is HTML
    QDateTime maildatetime;         // fetched: the message's date (invalid when it has none)
    int mailutcoffset = 0;          // fetched: the zone the date was written in, seconds east of UTC
    QString text;                   // fetched: the plain-text alternative of an HTML body
    QString rawfile;                // fetched: the file holding the message as the server sent it
    QString uid;                    // fetched: the server's unique id of the message (UIDL), if any
};
