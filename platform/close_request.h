// SPDX-License-Identifier: MIT
#pragma once

#include <QKeySequence>
#include <QMdiSubWindow>
#include <QWidget>
#include <QList>
#include <QPointer>

class QAction;
class QKeyEvent;
class QPoint;
class QWindow;

namespace platform {

// A control under the pointer that closes something when clicked: the
// close box of a sheet (in its title bar, or in the frame's menu bar while
// it is maximised) or a button of an action marked with markAsCloseRequest.
struct CloseControl {
    QPointer<QWidget> control;
    QPointer<QMdiSubWindow> sheet;  // the sheet a close box closes
    bool closesProgram = false;     // a marked action (the frame's Exit)

    bool isNull() const { return control.isNull(); }
    bool sameAs(const CloseControl &other) const
    {
        return control == other.control && sheet == other.sheet && closesProgram == other.closesProgram;
    }
};

// The close control at `pos` (window coordinates) of `window`, if any.
CloseControl closeControlAt(QWindow *window, const QPoint &pos);

// The keys that close the active sheet: Ctrl+F4 and Ctrl+W everywhere, and
// whatever the platform binds to closing a document.
QList<QKeySequence> sheetCloseKeys();
bool isSheetCloseKey(const QKeyEvent &event);

// The sheet `widget` lies in; null outside every sheet.
QMdiSubWindow *sheetOf(QWidget *widget);

// The sheet the user is working in: the one holding the focus, or else the
// active sheet of the active window.
QMdiSubWindow *currentSheet();

// A click on a button of `action` counts as a request to close the program
// (the frame's Exit).
void markAsCloseRequest(QAction *action);

} // namespace platform
