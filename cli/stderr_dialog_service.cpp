// SPDX-License-Identifier: MIT
#include "cli/stderr_dialog_service.h"

#include <cstdio>

void printError(const QString &text)
{
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void printLog(const QString &log)
{
    QString text = log;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (!text.isEmpty())
        printError(text);
}

void printFailure(const QString &headline, const engine::Failure &failure)
{
    printError(failure.reason.isEmpty() ? headline : headline + failure.reason);
}

void StderrDialogService::messageBox(const QString &title, const QString &text, const QString &detail)
{
    printError(title.isEmpty() ? text : title + QStringLiteral("：") + text);
    if (!detail.isEmpty())
        printError(detail);
}

// No file or print dialog can be answered from a shell: each reports an
// error, so a caller never mistakes it for a choice the user made.
int StderrDialogService::getFileOpenName(const QString &, QString &, QString &, const QString &,
                                         const QString &)
{
    return -1;
}

int StderrDialogService::getFileSaveName(const QString &, QString &, QString &, const QString &,
                                         const QString &)
{
    return -1;
}

bool StderrDialogService::printDialog(QPrinter &)
{
    return false;
}
