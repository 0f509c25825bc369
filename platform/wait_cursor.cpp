// SPDX-License-Identifier: MIT
#include "platform/wait_cursor.h"

#include "platform/transfer_progress.h"

#include <QCursor>
#include <QGuiApplication>

namespace platform {

namespace {

int g_depth = 0;

} // namespace

WaitCursor::WaitCursor()
{
    ++g_depth;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
    if (--g_depth == 0)
        reportTransferProgress(QString());
}

} // namespace platform
