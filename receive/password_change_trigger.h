// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QLineEdit;
class QWidget;

// Says when a changed password field asks for a fetch: the user pressed
// Enter in it, or moved the focus from it by Tab or by a (left) click to
// another control of the same sheet. Never when the focus goes to a popup
// menu, a dialog, another sheet or program, or away because a window
// closes; nor for a right-click into another field, which opens its
// context menu and is no leaving for it.
//
// `changeConfirmed` comes queued, once the input that moved the focus (for
// a click, the whole click, release included) has been handled, so that
// whatever it starts reads the form as the user left it.
class password_change_trigger : public QObject {
    Q_OBJECT
public:
    password_change_trigger(QLineEdit *field, QWidget *sheet);

signals:
    void changeConfirmed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool focusStaysInTheSheet(const QEvent *focusOut) const;
    void confirmAfterThisInput();
    void confirmQueued();

    void watchPresses(bool on);

    QLineEdit *m_field;
    QWidget *m_sheet;
    bool m_waitingForRelease = false;
    bool m_watchingPresses = false;
    // The latest press seen while the field has the focus, and whether its
    // button is still down.
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    bool m_buttonDown = false;
};
