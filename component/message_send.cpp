#include "component/message.h"

#include "component/automation_error.h"

namespace component {

bool Message::send(const QString &server)
{
    clearLog();
    appendLog(QStringLiteral("sending to %1: not available in this build").arg(server));
    if (!m_silent)
        raiseAutomationError(this, QStringLiteral("sending is not available"));
    return false;
}

} // namespace component
