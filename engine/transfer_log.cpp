#include "engine/transfer_log.h"

namespace engine {

QString transferLog(const std::optional<QVariant> &componentLog, const ComponentCalls &calls)
{
    QString log = componentLog ? componentLog->toString() : QString();
    const QString reason = calls.error();
    if (calls.ok() || (!reason.isEmpty() && log.contains(reason)))
        return log;
    if (!log.isEmpty() && !log.endsWith(QLatin1Char('\n')))
        log += QLatin1Char('\n');
    log += QStringLiteral("错误：%1\n").arg(reason.isEmpty() ? QStringLiteral("组件没有说明原因") : reason);
    return log;
}

} // namespace engine
