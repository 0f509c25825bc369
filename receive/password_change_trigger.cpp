#include "receive/password_change_trigger.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>

password_change_trigger::password_change_trigger(QLineEdit *field, QWidget *sheet)
    : QObject(field), m_field(field), m_sheet(sheet)
{
    field->installEventFilter(this);
    connect(field, &QLineEdit::returnPressed, this, &password_change_trigger::confirmAfterThisInput);
}

bool password_change_trigger::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::FocusOut) {
        if (focusStaysInTheSheet(event))
            confirmAfterThisInput();
    } else if (m_waitingForRelease && event->type() == QEvent::MouseButtonRelease) {
        // Seen on its way in: the queued call runs once it has been handled.
        m_waitingForRelease = false;
        qApp->removeEventFilter(this);
        confirmQueued();
    }
    return false;
}

bool password_change_trigger::focusStaysInTheSheet(const QEvent *focusOut) const
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(focusOut)->reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason && reason != Qt::MouseFocusReason)
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
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        m_waitingForRelease = true;
        qApp->installEventFilter(this);
        return;
    }
    confirmQueued();
}

void password_change_trigger::confirmQueued()
{
    QMetaObject::invokeMethod(this, &password_change_trigger::changeConfirmed, Qt::QueuedConnection);
}
