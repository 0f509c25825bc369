// SPDX-License-Identifier: MIT
#include "engine/transfer_log.h"

namespace engine {

namespace {

const QString kErrorMark = QStringLiteral("错误：");

// True when the log ends with the component's own account of an error.
bool endsWithError(const QString &log)
{
    const QString last = log.trimmed().section(QLatin1Char('\n'), -1);
    return last.startsWith(kErrorMark);
}

} // namespace

QString transferLog(const std::optional<QVariant> &componentLog, const ComponentCalls &calls)
{
    QString log = componentLog ? componentLog->toString() : QString();
    const QString reason = calls.error();
    if (calls.ok() || (!reason.isEmpty() && log.contains(reason)) || endsWithError(log))
        return log;
    if (!log.isEmpty() && !log.endsWith(QLatin1Char('\n')))
        log += QLatin1Char('\n');
    log += kErrorMark + (reason.isEmpty() ? QStringLiteral("组件没有说明原因") : reason) + QLatin1Char('\n');
    return log;
}

} // namespace engine
