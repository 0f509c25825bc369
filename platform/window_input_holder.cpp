// SPDX-License-Identifier: MIT
#include "platform/window_input_holder.h"

#include "platform/close_request.h"
#include "platform/window_services.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <deque>
#include <memory>

namespace platform {

namespace {

bool g_abandoned = false;

// What the filter does with an event while input is held back.
enum class Treatment { Pass, Hold, Drop, Override };

bool isPointerOrKeyInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

// Tablets, touch and gestures may not act in the middle of a transfer, and
// none is worth replaying after it.
bool isDroppedInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
        return true;
    default:
        return false;
    }
}

// The window system hands the user's input to a top-level window first
// (which passes it on to its widgets) as a spontaneous event; that is where
// it is taken. A key press first asks the focus widget whether it overrides
// a shortcut: answered yes, no shortcut acts and the key itself comes on to
// be held. Committed text of an input method goes to the focus widget
// directly.
Treatment treatmentOf(QObject *receiver, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride)
        return Treatment::Override;
    if (type == QEvent::InputMethod)
        return Treatment::Hold;
    if (!receiver->isWindowType() || !event->spontaneous())
        return Treatment::Pass;
    if (isPointerOrKeyInput(type) || type == QEvent::Close)
        return Treatment::Hold;
    return isDroppedInput(type) ? Treatment::Drop : Treatment::Pass;
}

struct HeldEvent {
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;
};

bool isPlainMove(const HeldEvent &held)
{
    return held.event->type() == QEvent::MouseMove
           && static_cast<const QMouseEvent *>(held.event.get())->buttons() == Qt::NoButton;
}

// Where a held key goes once it is handed back: where the window system's
// key would go then. Sent as an ordinary (not spontaneous) key event to a
// widget, a key press still goes through the application's shortcuts.
QObject *keyReceiver(QObject *window)
{
    if (QWidget *grabber = QWidget::keyboardGrabber())
        return grabber;
    if (QWidget *popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    auto *target = qobject_cast<QWindow *>(window);
    return target ? target->focusObject() : nullptr;
}

// Stands between the window system and the windows while a transfer runs:
// everything but user input goes through (paints, socket wake-ups,
// geometry), user input is kept for later. Once the transfer is over, what
// was kept is handed to the windows in its order, before any newer input.
class HeldInput : public QObject {
public:
    bool begin(std::function<void()> abandon)
    {
        if (m_holding)
            return false;
        m_holding = true;
        g_abandoned = false;
        m_abandon = std::move(abandon);
        m_transferSheet = currentSheet();
        m_pressedClose = CloseControl();
        if (!m_filtering) {
            qApp->installEventFilter(this);
            m_filtering = true;
        }
        return true;
    }

    void end()
    {
        m_holding = false;
        m_abandon = nullptr;
        scheduleHandBack();
    }

    bool holding() const { return m_holding; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowUnblocked && !m_queue.empty())
            scheduleHandBack();
        if (!capturing())
            return false;
        switch (treatmentOf(watched, event)) {
        case Treatment::Pass:
            return false;
        case Treatment::Drop:
            return true;
        case Treatment::Override:
            if (m_holding && isSheetCloseKey(*static_cast<QKeyEvent *>(event)))
                closeSheetRequested(currentSheet());
            event->accept();
            return true;
        case Treatment::Hold:
            if (m_holding)
                noteCloseRequest(watched, event);
            hold(event->type() == QEvent::InputMethod ? QGuiApplication::focusObject() : watched, *event);
            return true;
        }
        return false;
    }

private:
    // New input waits behind held input; but input for a window that
    // opened since (a message box, a context menu the handed-back input
    // opened) goes to it at once.
    bool capturing() const
    {
        if (m_holding)
            return true;
        return !m_queue.empty() && m_delivering == 0 && !QGuiApplication::modalWindow();
    }

    void hold(QObject *receiver, const QEvent &event)
    {
        HeldEvent held{receiver, std::unique_ptr<QEvent>(event.clone())};
        // A move directly after another replaces it: a long transfer keeps
        // the pointer's last place, not every place it passed.
        if (isPlainMove(held) && !m_queue.empty() && isPlainMove(m_queue.back())
            && m_queue.back().receiver == receiver)
            m_queue.pop_back();
        m_queue.push_back(std::move(held));
    }

    // A request to close a window during the transfer: the window manager's
    // close, a whole click (press and release on the same control) on the
    // frame's Exit or on the close box of the sheet that runs the transfer,
    // the close key in that sheet. It ends the transfer as a failure at
    // once; the request itself waits with the rest of the input, so the
    // window closes after the handler. A close box of another sheet is
    // input like any other.
    void noteCloseRequest(QObject *receiver, QEvent *event)
    {
        auto *window = qobject_cast<QWindow *>(receiver);
        switch (event->type()) {
        case QEvent::Close:
            abandon();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() != Qt::LeftButton)
                break;
            const CloseControl under = closeControlAt(window, mouse->position().toPoint());
            if (event->type() == QEvent::MouseButtonPress) {
                m_pressedClose = under;
                break;
            }
            const bool wholeClick = !under.isNull() && under.sameAs(m_pressedClose);
            m_pressedClose = CloseControl();
            if (wholeClick && under.closesProgram)
                abandon();
            else if (wholeClick)
                closeSheetRequested(under.sheet);
            break;
        }
        case QEvent::KeyPress:
            if (isSheetCloseKey(*static_cast<QKeyEvent *>(event)))
                closeSheetRequested(currentSheet());
            break;
        default:
            break;
        }
    }

    void closeSheetRequested(QMdiSubWindow *sheet)
    {
        if (sheet && sheet == m_transferSheet)
            abandon();
    }

    void abandon()
    {
        if (g_abandoned)
            return;
        g_abandoned = true;
        if (m_abandon)
            m_abandon();
    }

    void scheduleHandBack()
    {
        if (m_handBackScheduled)
            return;
        m_handBackScheduled = true;
        QMetaObject::invokeMethod(this, &HeldInput::handBack, Qt::QueuedConnection);
    }

    // Runs from the event loop once the handler is over. Waits while a
    // modal window is up (its owner must not get the input meanwhile) and
    // while a handed-back event is still being handled (a transfer it
    // started holds the rest again; a menu it opened takes newer input).
    void handBack()
    {
        m_handBackScheduled = false;
        while (!m_queue.empty() && !m_holding && m_delivering == 0 && !QGuiApplication::modalWindow()) {
            HeldEvent held = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_delivering;
            deliver(held);
            --m_delivering;
        }
        if (m_queue.empty() && !m_holding && m_delivering == 0 && m_filtering) {
            qApp->removeEventFilter(this);
            m_filtering = false;
        }
    }

    // Input for a window that has gone meanwhile is dropped: handed back, it
    // would reach whatever window is now under the pointer. Pointer input
    // and close requests go to their window as the window system's own
    // (spontaneous) events, so that a click still moves the focus.
    static void deliver(HeldEvent &held)
    {
        if (!held.receiver)
            return;
        const QEvent::Type type = held.event->type();
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
            if (QObject *receiver = keyReceiver(held.receiver))
                QCoreApplication::sendEvent(receiver, held.event.get());
            return;
        }
        if (type == QEvent::InputMethod) {
            if (QObject *receiver = QGuiApplication::focusObject())
                QCoreApplication::sendEvent(receiver, held.event.get());
            return;
        }
        QCoreApplication::instance()->notify(held.receiver, held.event.get());
    }

    std::deque<HeldEvent> m_queue;
    std::function<void()> m_abandon;
    QPointer<QMdiSubWindow> m_transferSheet;
    CloseControl m_pressedClose;
    bool m_holding = false;
    bool m_filtering = false;
    bool m_handBackScheduled = false;
    int m_delivering = 0;
};

HeldInput &heldInput()
{
    static HeldInput *held = new HeldInput;  // lives as long as the program
    return *held;
}

} // namespace

bool WindowInputHolder::begin(std::function<void()> abandon)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    return heldInput().begin(std::move(abandon));
}

void WindowInputHolder::end()
{
    heldInput().end();
}

bool WindowInputHolder::holdsInput() const
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) && heldInput().holding();
}

bool transferAbandoned()
{
    return g_abandoned;
}

} // namespace platform
