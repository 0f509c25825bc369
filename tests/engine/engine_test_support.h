#pragma once

#include "platform/dialog_service.h"

#include <QList>
#include <QPair>
#include <QString>

namespace enginetest {

// Stands in for the program's dialogs: records every message box and
// answers every file dialog with "cancel".
class RecordingDialogs : public platform::DialogService {
public:
    RecordingDialogs() { platform::setDialogService(this); }
    ~RecordingDialogs() override { platform::setDialogService(nullptr); }

    void messageBox(const QString &title, const QString &text) override { boxes.append({title, text}); }
    int getFileOpenName(const QString &, QString &, QString &, const QString &, const QString &) override { return 0; }
    int getFileSaveName(const QString &, QString &, QString &, const QString &, const QString &) override { return 0; }
    bool printDialog(QPrinter &) override { return false; }

    QList<QPair<QString, QString>> boxes;
};

// Registers the library at `libraryPath` under the component's six class
// names in this test's own component registry.
void registerComponentClasses(const QString &libraryPath);

// The journal entries that start with `prefix`, in order.
QStringList entriesStartingWith(const QStringList &journal, const QString &prefix);

} // namespace enginetest
