#pragma once

#include "platform/dialog_service.h"

#include <QApplication>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// Records every dialog the program asks for instead of showing it, and
// installs itself for its lifetime.
class ScriptedDialogs : public platform::DialogService {
public:
    ScriptedDialogs() { platform::setDialogService(this); }
    ~ScriptedDialogs() override { platform::setDialogService(nullptr); }

    void messageBox(const QString &title, const QString &text) override { boxes.append({title, text}); }
    int getFileOpenName(const QString &, QString &, QString &, const QString &, const QString &) override
    {
        ++fileDialogs;
        return 0;
    }
    int getFileSaveName(const QString &, QString &, QString &, const QString &, const QString &) override
    {
        ++fileDialogs;
        return 0;
    }
    bool printDialog(QPrinter &) override
    {
        ++fileDialogs;
        return false;
    }

    QList<QPair<QString, QString>> boxes;
    int fileDialogs = 0;
};

// Catches a modal window that bypasses the dialog service (a prompt opened
// directly): counts it and closes it so that the test goes on.
class ModalWatch : public QObject {
public:
    ModalWatch()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++caught;
                modal->close();
            }
        });
        m_timer.start(10);
    }
    int caught = 0;

private:
    QTimer m_timer;
};
