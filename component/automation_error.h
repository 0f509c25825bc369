// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace component {

// Reports an error raised inside an automation call: the program's handle
// reads this dynamic property after every call. Component code never throws
// out of a property or method.
inline void raiseAutomationError(QObject *object, const QString &message)
{
    object->setProperty("automationError", message);
}

} // namespace component
