// SPDX-License-Identifier: MIT
#include "platform/qt_dialog_service.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace platform {

namespace {

enum class FileDialogKind { Open, Save };

int runFileDialog(FileDialogKind kind, const QString &title, QString &pathname, QString &filename,
                  const QString &extension, const QString &filter)
{
    QFileDialog dialog(QApplication::activeWindow(), title, pathname, qtFileFilter(filter));
    if (kind == FileDialogKind::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (!extension.isEmpty())
        dialog.setDefaultSuffix(extension);
    if (!pathname.isEmpty() && !QFileInfo(pathname).isDir())
        dialog.selectFile(pathname);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return -1;
    pathname = chosen.first();
    filename = QFileInfo(pathname).fileName();
    return 1;
}

} // namespace

void QtDialogService::messageBox(const QString &title, const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, QApplication::activeWindow());
    // Shown at once under the text, not behind a "Show Details" button:
    // the reason is what the user needs to act on.
    box.setInformativeText(detail);
    box.exec();
}

bool QtDialogService::question(const QString &title, const QString &text)
{
    return QMessageBox::question(QApplication::activeWindow(), title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

int QtDialogService::getFileOpenName(const QString &title, QString &pathname, QString &filename,
                                     const QString &extension, const QString &filter)
{
    return runFileDialog(FileDialogKind::Open, title, pathname, filename, extension, filter);
}

int QtDialogService::getFileSaveName(const QString &title, QString &pathname, QString &filename,
                                     const QString &extension, const QString &filter)
{
    return runFileDialog(FileDialogKind::Save, title, pathname, filename, extension, filter);
}

bool QtDialogService::printDialog(QPrinter &printer)
{
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

} // namespace platform
