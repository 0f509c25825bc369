// SPDX-License-Identifier: MIT
#include "support/scripted_dialogs.h"

#include "platform/window_services.h"

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>

namespace {

// Only a GUI application has a cursor; the engine's tests run without one.
bool waitCursorShows()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

} // namespace

ScriptedDialogs::ScriptedDialogs()
{
    // The tests script the user in front of the program as its main()
    // sets it up, input held back during transfers included.
    platform::installWindowServices();
    platform::setDialogService(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    if (&platform::dialogs() == this)
        platform::setDialogService(nullptr);
}

QStringList ScriptedDialogs::texts() const
{
    QStringList result;
    for (const MessageBox &box : messageBoxes)
        result << box.text;
    return result;
}

QStringList ScriptedDialogs::titles() const
{
    QStringList result;
    for (const MessageBox &box : messageBoxes)
        result << box.title;
    return result;
}

QStringList ScriptedDialogs::details() const
{
    QStringList result;
    for (const MessageBox &box : messageBoxes)
        result << box.detail;
    return result;
}

QList<bool> ScriptedDialogs::waitCursors() const
{
    QList<bool> result;
    for (const MessageBox &box : messageBoxes)
        result << box.waitCursor;
    return result;
}

void ScriptedDialogs::reset()
{
    fileAnswers.clear();
    printTo.clear();
    whileFileDialogOpen = nullptr;
    whileMessageShown = nullptr;
    messageBoxes.clear();
    fileDialogs.clear();
    printDialogs = 0;
    questionAnswer = false;
    questions.clear();
}

bool ScriptedDialogs::question(const QString &, const QString &text)
{
    questions.append(text);
    return questionAnswer;
}

void ScriptedDialogs::messageBox(const QString &title, const QString &text, const QString &detail)
{
    messageBoxes.append({title, text, detail, waitCursorShows()});
    if (whileMessageShown)
        whileMessageShown();
}

int ScriptedDialogs::getFileOpenName(const QString &title, QString &pathname, QString &filename,
                                     const QString &extension, const QString &filter)
{
    return answerFileDialog(FileDialogKind::Open, title, pathname, filename, extension, filter);
}

int ScriptedDialogs::getFileSaveName(const QString &title, QString &pathname, QString &filename,
                                     const QString &extension, const QString &filter)
{
    return answerFileDialog(FileDialogKind::Save, title, pathname, filename, extension, filter);
}

bool ScriptedDialogs::printDialog(QPrinter &printer)
{
    ++printDialogs;
    if (whileFileDialogOpen)
        whileFileDialogOpen();
    if (printTo.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printTo);
    return true;
}

int ScriptedDialogs::answerFileDialog(FileDialogKind kind, const QString &title, QString &pathname,
                                      QString &filename, const QString &extension, const QString &filter)
{
    fileDialogs.append({kind, title, pathname, extension, filter});
    if (whileFileDialogOpen)
        whileFileDialogOpen();
    const FileAnswer answer = fileAnswers.isEmpty() ? FileAnswer{} : fileAnswers.takeFirst();
    if (answer.rc == 1) {
        pathname = answer.pathname;
        filename = QFileInfo(answer.pathname).fileName();
    }
    return answer.rc;
}
