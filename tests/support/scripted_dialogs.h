// SPDX-License-Identifier: MIT
#pragma once

#include "platform/dialog_service.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Stands in for the user in front of the program's dialogs: records every
// dialog the program asks for and answers it from a script. It installs
// itself as the dialog service for its lifetime.
class ScriptedDialogs : public platform::DialogService {
public:
    struct MessageBox {
        QString title;
        QString text;
        QString detail;           // the reason shown below the text
        bool waitCursor = false;  // whether the wait cursor showed over it
    };
    enum class FileDialogKind { Open, Save };
    struct FileDialog {
        FileDialogKind kind = FileDialogKind::Open;
        QString title;
        QString proposedPath;  // the path the program suggested
        QString extension;
        QString filter;
    };
    // How the user leaves a file dialog: 1 with `pathname` chosen, 0 for
    // cancel, -1 for a dialog that failed.
    struct FileAnswer {
        int rc = 0;
        QString pathname;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    // The script.
    QList<FileAnswer> fileAnswers;  // consumed front first; cancel when none are left
    QString printTo;                // empty: the print dialog is cancelled; else printed to this PDF
    std::function<void()> whileFileDialogOpen;  // runs inside every file and print dialog
    std::function<void()> whileMessageShown;    // runs inside every message box
    bool questionAnswer = false;                // how every question is answered (Yes = true)

    // What was asked, in order.
    QList<MessageBox> messageBoxes;
    QList<FileDialog> fileDialogs;
    int printDialogs = 0;
    QStringList questions;  // the questions' texts

    QStringList texts() const;   // the message boxes' texts
    QStringList titles() const;  // the message boxes' titles
    QStringList details() const; // the message boxes' detail texts
    QList<bool> waitCursors() const;
    int dialogCount() const { return int(messageBoxes.size() + fileDialogs.size() + questions.size()) + printDialogs; }

    // Forgets the record and the script.
    void reset();

    void messageBox(const QString &title, const QString &text, const QString &detail = QString()) override;
    int getFileOpenName(const QString &title, QString &pathname, QString &filename, const QString &extension,
                        const QString &filter) override;
    int getFileSaveName(const QString &title, QString &pathname, QString &filename, const QString &extension,
                        const QString &filter) override;
    bool printDialog(QPrinter &printer) override;
    bool question(const QString &title, const QString &text) override;

private:
    int answerFileDialog(FileDialogKind kind, const QString &title, QString &pathname, QString &filename,
                         const QString &extension, const QString &filter);
};
