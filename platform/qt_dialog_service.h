// SPDX-License-Identifier: MIT
#pragma once

#include "platform/dialog_service.h"

namespace platform {

// The dialogs the user sees: QMessageBox, QFileDialog and QPrintDialog,
// parented to the active window.
class QtDialogService : public DialogService {
public:
    void messageBox(const QString &title, const QString &text, const QString &detail = QString()) override;
    int getFileOpenName(const QString &title, QString &pathname, QString &filename, const QString &extension,
                        const QString &filter) override;
    int getFileSaveName(const QString &title, QString &pathname, QString &filename, const QString &extension,
                        const QString &filter) override;
    bool printDialog(QPrinter &printer) override;
    bool question(const QString &title, const QString &text) override;
};

} // namespace platform
