// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QPrinter;

namespace platform {

// Every modal dialog of the program goes through this one service, so that
// tests can replace it with a scripted one (setDialogService) and the
// command-line front end with one that writes to stderr.
class DialogService {
public:
    virtual ~DialogService() = default;

    // A modal message box: the title (possibly empty) and the text, the
    // information icon and one OK button. A non-empty `detail` (why an
    // action failed) is shown in the same box below the text.
    virtual void messageBox(const QString &title, const QString &text, const QString &detail = QString()) = 0;

    // The file-open and file-save dialogs. `pathname` goes in as the
    // suggested path and comes out as the chosen full path; `filename`
    // comes out as its bare name. `extension` is the default extension
    // (empty for none); `filter` is in the "Description,pattern" form, e.g.
    // "All files,*.*". Returns 1 on OK, 0 on cancel, -1 on error.
    virtual int getFileOpenName(const QString &title, QString &pathname, QString &filename,
                                const QString &extension, const QString &filter) = 0;
    virtual int getFileSaveName(const QString &title, QString &pathname, QString &filename,
                                const QString &extension, const QString &filter) = 0;

    // The print dialog for `printer`; true when the user chose to print.
    virtual bool printDialog(QPrinter &printer) = 0;

    // A question with the buttons Yes and No (the default); true for Yes.
    // Where no one can answer, the answer is No.
    virtual bool question(const QString &title, const QString &text)
    {
        Q_UNUSED(title);
        Q_UNUSED(text);
        return false;
    }
};

// The service in use: the one a test or front end installed, else the
// default (Qt's dialogs in a program with windows, see
// installWindowServices). With neither, no dialog can be shown: a message
// goes to stderr and file and print dialogs report an error.
DialogService &dialogs();

// Installs `service` (not owned; it must outlive its use) or, with nullptr,
// goes back to the default.
void setDialogService(DialogService *service);

// Makes `service` (not owned) the default.
void setDefaultDialogService(DialogService *service);

// "All files,*.*" -> "All files (*)": pairs of description and pattern
// separated by commas become Qt's filter form, one filter per pair; the
// Windows pattern "*.*" matches every file, as on Windows.
QString qtFileFilter(const QString &filter);

} // namespace platform
