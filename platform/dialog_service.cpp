#include "platform/dialog_service.h"

#include "platform/qt_dialog_service.h"

#include <QStringList>

namespace platform {

namespace {
DialogService *installedService = nullptr;
}

DialogService &dialogs()
{
    static QtDialogService qtService;
    return installedService ? *installedService : qtService;
}

void setDialogService(DialogService *service)
{
    installedService = service;
}

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char(','));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1).trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        filters << QStringLiteral("%1 (%2)").arg(parts.at(i).trimmed(), patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace platform
