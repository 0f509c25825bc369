// SPDX-License-Identifier: MIT
#include "component/recipients.h"

#include "component/automation_error.h"
#include "component/recipient.h"

namespace component {

QObject *Recipients::item(int index)
{
    if (index < 0 || index >= m_items.size()) {
        raiseAutomationError(this, QStringLiteral("no recipient %1 (count %2)").arg(index).arg(m_items.size()));
        return nullptr;
    }
    return m_items.at(index);
}

Recipient *Recipients::add(const QString &email, const QString &name)
{
    auto *recipient = new Recipient(this);
    recipient->setEmail(email);
    recipient->setName(name);
    m_items.append(recipient);
    return recipient;
}

void Recipients::clear()
{
    qDeleteAll(m_items);
    m_items.clear();
}

} // namespace component
