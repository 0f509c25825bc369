// SPDX-License-Identifier: MIT
#pragma once

#include "platform/automation_object.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Helpers shared by the receiving tests: drive the real component library
// through the automation layer, in the order the engine uses.
namespace pop3test {

// Registers the component library once per test program.
void ensureRegistered();

struct FetchedAttachment {
    QString name;
    QByteArray content; // what savetofile wrote (left empty above 8 MB)
    QByteArray sha256;  // of what savetofile wrote
    qint64 size = 0;
    bool saved = false;
};

struct FetchedMessage {
    bool ok = false;
    QString error;      // the automation error of the failed element call
    QString from;
    QString fromName;
    QString subject;
    QDateTime date;
    QString html;
    QString body;
    QStringList recipients; // "email" of each, in order
    QStringList recipientNames;
    QList<FetchedAttachment> attachments;
};

// One "orvex.POP3" object.
class Mailbox {
public:
    Mailbox();
    ~Mailbox();

    // The timeout is the component's own unless a test is about it: a
    // loaded machine must not fail a transfer that is merely slow.
    bool connect(const QString &user, const QString &password, const QString &host, int port,
                 int timeoutSeconds = 300);
    int count();
    // Element `number` of "messages", read out in full; attachments are
    // saved with savetofile into `saveDir` (a temporary folder when empty).
    FetchedMessage fetch(int number, const QString &saveDir = QString());
    bool deleteMessages();
    bool disconnect();
    QString log();
    platform::AutomationObject &object() { return m_pop3; }

private:
    platform::AutomationObject m_pop3;
};

// A message in Internet format with CRLF line breaks, from lines written
// with "\n".
QByteArray crlf(const QByteArray &text);

} // namespace pop3test
