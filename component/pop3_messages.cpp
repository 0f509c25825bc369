// SPDX-License-Identifier: MIT
#include "component/pop3_messages.h"

#include "component/automation_error.h"
#include "component/message.h"
#include "component/pop3.h"

namespace component {

Pop3Messages::Pop3Messages(Pop3 *mailbox) : QObject(mailbox), m_mailbox(mailbox) {}

int Pop3Messages::count() const
{
    return m_mailbox->count();
}

QObject *Pop3Messages::item(int number)
{
    if (m_current && m_currentNumber == number)
        return m_current;
    reset();
    QString error;
    Message *message = m_mailbox->fetch(number, this, &error);
    if (!message) {
        raiseAutomationError(this, error);
        return nullptr;
    }
    m_current = message;
    m_currentNumber = number;
    return message;
}

void Pop3Messages::reset()
{
    delete m_current.data();
    m_current = nullptr;
    m_currentNumber = 0;
}

} // namespace component
