// SPDX-License-Identifier: MIT
#include "platform/dialog_service.h"

#include <QStringList>

#include <cstdio>

namespace platform {

namespace {

// Where there is nobody to show a dialog to.
class NoDialogs : public DialogService {
public:
    void messageBox(const QString &title, const QString &text, const QString &detail) override
    {
        QString shown = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
        if (!detail.isEmpty())
            shown += QLatin1Char('\n') + detail;
        const QByteArray line = shown.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    }
    int getFileOpenName(const QString &, QString &, QString &, const QString &, const QString &) override
    {
        return -1;
    }
    int getFileSaveName(const QString &, QString &, QString &, const QString &, const QString &) override
    {
        return -1;
    }
    bool printDialog(QPrinter &) override { return false; }
};

DialogService *installedService = nullptr;
DialogService *defaultService = nullptr;

} // namespace

DialogService &dialogs()
{
    static NoDialogs none;
    if (installedService)
        return *installedService;
    return defaultService ? *defaultService : none;
}

void setDefaultDialogService(DialogService *service)
{
    defaultService = service;
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
