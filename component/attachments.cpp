// SPDX-License-Identifier: MIT
#include "component/attachments.h"

#include "component/attachment.h"
#include "component/automation_error.h"

namespace component {

QObject *Attachments::item(int index)
{
    if (index < 0 || index >= m_items.size()) {
        raiseAutomationError(this, QStringLiteral("no attachment %1 (count %2)").arg(index).arg(m_items.size()));
        return nullptr;
    }
    return m_items.at(index);
}

Attachment *Attachments::add(const QString &name)
{
    auto *attachment = new Attachment(this);
    attachment->setName(name);
    m_items.append(attachment);
    return attachment;
}

void Attachments::clear()
{
    qDeleteAll(m_items);
    m_items.clear();
}

} // namespace component
