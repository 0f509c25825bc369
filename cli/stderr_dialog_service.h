// SPDX-License-Identifier: MIT
#pragma once

#include "engine/failure_kind.h"
#include "platform/dialog_service.h"

// The dialogs of a program without windows: a message box becomes a line on
// stderr, and there is nobody to answer a file or print dialog.
class StderrDialogService : public platform::DialogService {
public:
    void messageBox(const QString &title, const QString &text, const QString &detail = QString()) override;
    int getFileOpenName(const QString &title, QString &pathname, QString &filename,
                        const QString &extension, const QString &filter) override;
    int getFileSaveName(const QString &title, QString &pathname, QString &filename,
                        const QString &extension, const QString &filter) override;
    bool printDialog(QPrinter &printer) override;
};

// Writes one line of text to stderr in UTF-8.
void printError(const QString &text);

// Writes a transfer log to stderr, ending with one line break.
void printLog(const QString &log);

// Writes a failed command's headline ("发送失败！") with its reason, when
// one is known, as one line to stderr.
void printFailure(const QString &headline, const engine::Failure &failure);
