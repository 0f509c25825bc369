#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// One message, outgoing or fetched. Some fields serve only one direction.
struct stru_mail {
    QString senderaddress;
    QString sendername;
    QString recipientaddress;       // sending: all recipients, separated by commas or semicolons
    QStringList recipientaddress1;  // fetched: one recipient address per element
    QString subject;
    QString body;
    QStringList attachment;         // sending: files to attach; fetched: paths they were saved to
    bool returnreceipt = false;
    bool html = false;              // body is HTML
    QDateTime maildatetime;         // fetched: the message's date (invalid when it has none)
};
