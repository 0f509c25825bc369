#pragma once

#include "platform/dialog_service.h"

#include <QFileInfo>
#include <QPrinter>
#include <QStringList>
#include <functional>

// Stands in for the user in front of the dialogs: records every message
// box and answers the save dialog as the test scripted it.
class ScriptedDialogs : public platform::DialogService {
public:
    struct SaveRequest {
        QString title;
        QString proposedPath;
        QString extension;
        QString filter;
    };

    QStringList messages;  // texts of the message boxes, in order
    QStringList titles;    // their titles
    QList<SaveRequest> saveRequests;

    // The answer to the next save dialogs: 1 with saveAs as the chosen path,
    // 0 for cancel, -1 for a failed dialog.
    int saveResult = 0;
    QString saveAs;
    // Runs while the save dialog is "open" (e.g. to move the current
    // directory the way a real file dialog may).
    std::function<void()> whileSaveDialogOpen;

    void messageBox(const QString &title, const QString &text) override
    {
        titles << title;
        messages << text;
    }
    int getFileOpenName(const QString &, QString &, QString &, const QString &, const QString &) override
    {
        return -1;
    }
    int getFileSaveName(const QString &title, QString &pathname, QString &filename, const QString &extension,
                        const QString &filter) override
    {
        saveRequests.append({title, pathname, extension, filter});
        if (whileSaveDialogOpen)
            whileSaveDialogOpen();
        if (saveResult == 1) {
            pathname = saveAs;
            filename = QFileInfo(saveAs).fileName();
        }
        return saveResult;
    }
    bool printDialog(QPrinter &) override { return false; }
};
