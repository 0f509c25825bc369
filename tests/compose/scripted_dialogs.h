#pragma once

#include "platform/dialog_service.h"

#include <QCursor>
#include <QGuiApplication>
#include <QList>
#include <QString>
#include <functional>

// A dialog service that answers from a script and remembers what was asked,
// installed for the lifetime of the object.
class ScriptedDialogs : public platform::DialogService {
public:
    struct Message {
        QString title;
        QString text;
        bool operator==(const Message &) const = default;
    };
    struct FileRequest {
        QString title;
        QString extension;
        QString filter;
    };
    struct FileAnswer {
        int rc;
        QString pathname;
    };

    ScriptedDialogs() { platform::setDialogService(this); }
    ~ScriptedDialogs() override { platform::setDialogService(nullptr); }

    QList<Message> messages;
    QList<bool> waitCursorAtMessage;   // whether the wait cursor showed over each message
    QList<FileRequest> fileRequests;
    QList<FileAnswer> fileAnswers;     // consumed front first; cancel when none are left
    std::function<void()> whileOpen;   // runs inside every file dialog

    void messageBox(const QString &title, const QString &text) override
    {
        messages.append({title, text});
        const QCursor *cursor = QGuiApplication::overrideCursor();
        waitCursorAtMessage.append(cursor && cursor->shape() == Qt::WaitCursor);
    }

    int getFileOpenName(const QString &title, QString &pathname, QString &filename, const QString &extension,
                        const QString &filter) override
    {
        fileRequests.append({title, extension, filter});
        if (whileOpen)
            whileOpen();
        if (fileAnswers.isEmpty())
            return 0;
        const FileAnswer answer = fileAnswers.takeFirst();
        if (answer.rc == 1) {
            pathname = answer.pathname;
            filename = answer.pathname.section(QLatin1Char('/'), -1);
        }
        return answer.rc;
    }

    int getFileSaveName(const QString &, QString &, QString &, const QString &, const QString &) override
    {
        return 0;
    }

    bool printDialog(QPrinter &) override { return false; }
};
