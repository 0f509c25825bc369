// SPDX-License-Identifier: MIT
#include "receive/password_change_trigger.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>

password_change_trigger::password_change_trigger(QLineEdit *field, QWidget *sheet)
    : QObject(field), m_field(field), m_sheet(sheet)
{
    field->installEventFilter(this);
    connect(field, &QLineEdit::returnPressed, this, &password_change_trigger::confirmAfterThisInput);
}

bool password_change_trigger::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == m_field)
            watchPresses(true);
        break;
    case QEvent::FocusOut:
        if (watched != m_field)
            break;
        if (focusStaysInTheSheet(event))
            confirmAfterThisInput();
        if (!m_waitingForRelease)
            watchPresses(false);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // Seen on its way in, before it moves the focus.
        m_pressedButton = static_cast<QMouseEvent *>(event)->button();
        m_buttonDown = true;
        break;
    case QEvent::MouseButtonRelease:
        m_buttonDown = false;
        if (m_waitingForRelease) {
            // The queued call runs once the release has been handled.
            m_waitingForRelease = false;
            if (!m_field->hasFocus())
                watchPresses(false);
            confirmQueued();
        }
        break;
    default:
        break;
    }
    return false;
}

// Every press of the application, while the field has the focus: the one
// that takes the focus away says with which button it did.
void password_change_trigger::watchPresses(bool on)
{
    if (on == m_watchingPresses)
        return;
    m_watchingPresses = on;
    m_buttonDown = false;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool password_change_trigger::focusStaysInTheSheet(const QEvent *focusOut) const
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(focusOut)->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason && reason != Qt::MouseFocusReason)
        return false;
    if (reason == Qt::MouseFocusReason && m_pressedButton != Qt::LeftButton)
        return false;
    // Qt names the new focus widget before it tells the old one.
    const QWidget *next = QApplication::focusWidget();
    return next && next != m_field && m_sheet->isAncestorOf(next) && m_sheet->isVisible();
}

void password_change_trigger::confirmAfterThisInput()
{
    if (!m_field->isModified() || m_waitingForRelease)
        return;
    // Answered once: Enter followed by Tab asks only once.
    m_field->setModified(false);
    // Qt moves the focus on the press; the click is over with the release
    // (a check box, for one, changes only then).
    if (m_buttonDown) {
        m_waitingForRelease = true;
        return;
    }
    confirmQueued();
}

void password_change_trigger::confirmQueued()
{
    QMetaObject::invokeMethod(this, &password_change_trigger::changeConfirmed, Qt::QueuedConnection);
}
