// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

namespace component {

class Message;
class Pop3;

// The "messages" collection of a POP3 mailbox: element n (from 1 to
// "count") is message n, retrieved and parsed when asked for.
//
// Only the message handed out last is kept: asking for another releases it
// (with its attachments' temporary files), so that a long fetch does not
// pile up every message of the mailbox. Asking for the same number again
// gives the same object.
class Pop3Messages : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count)
public:
    explicit Pop3Messages(Pop3 *mailbox);

    int count() const;
    // Message `number`; a failed retrieval is raised as an automation error.
    Q_INVOKABLE QObject *item(int number);

    // Forgets the message handed out (a new session starts).
    void reset();

private:
    Pop3 *m_mailbox;
    QPointer<Message> m_current;
    int m_currentNumber = 0;
};

} // namespace component
