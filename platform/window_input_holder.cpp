#include "platform/window_input_holder.h"

#include "platform/window_services.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QList>
#include <QMdiSubWindow>
#include <QStyle>
#include <QStyleOptionComplex>
#include <QStyleOptionTitleBar>
#include <QToolButton>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface_p.h>

namespace platform {

namespace {

using WindowSystem = QWindowSystemInterfacePrivate;
using WindowSystemEvent = WindowSystem::WindowSystemEvent;

constexpr char kCloseRequestProperty[] = "orvexClosesWindow";

bool g_abandoned = false;

QWidget *topLevelOf(QWindow *window)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

// The buttons a maximised sheet puts into the frame's menu bar: a close box
// among them is hit as the widget itself finds it.
bool onSheetCloseBox(QWidget *widget, const QPoint &pos)
{
    if (qstrcmp(widget->metaObject()->className(), "QMdi::ControllerWidget") != 0)
        return false;
    QStyleOptionComplex option;
    option.initFrom(widget);
    option.subControls = QStyle::SC_MdiMinButton | QStyle::SC_MdiNormalButton | QStyle::SC_MdiCloseButton;
    return widget->style()->hitTestComplexControl(QStyle::CC_MdiControls, &option, pos, widget)
           == QStyle::SC_MdiCloseButton;
}

// The close box in the title bar of a sheet that is not maximised, laid out
// as the sheet lays out its title bar: inside a border of 4 pixels unless
// the style draws none.
bool onTitleBarCloseBox(QWidget *widget, const QPoint &pos)
{
    auto *sheet = qobject_cast<QMdiSubWindow *>(widget);
    if (!sheet || sheet->isMaximized())
        return false;
    QStyleOptionTitleBar option;
    option.initFrom(sheet);
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = sheet->windowFlags();
    option.titleBarState = sheet->windowState();
    QStyle *style = sheet->style();
    const int border = style->styleHint(QStyle::SH_TitleBar_NoBorder, &option, sheet) ? 0 : 4;
    option.rect = QRect(border, border, sheet->width() - 2 * border,
                        style->pixelMetric(QStyle::PM_TitleBarHeight, &option, sheet));
    return style->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, sheet).contains(pos);
}

bool onCloseButton(QWidget *widget)
{
    const auto *button = qobject_cast<QToolButton *>(widget);
    return button && button->defaultAction() && button->defaultAction()->property(kCloseRequestProperty).toBool();
}

bool isCloseClick(const WindowSystem::MouseEvent &event)
{
    if (event.buttonType != QEvent::MouseButtonPress || event.button != Qt::LeftButton || !event.window)
        return false;
    QWidget *top = topLevelOf(event.window);
    QWidget *hit = top ? top->childAt(event.localPos.toPoint()) : nullptr;
    if (!hit)
        return false;
    const QPoint pos = hit->mapFrom(top, event.localPos.toPoint());
    return onCloseButton(hit) || onSheetCloseBox(hit, pos) || onTitleBarCloseBox(hit, pos);
}

// The close shortcut of a sheet (Ctrl+F4), pressed while one has the focus.
bool isCloseKey(const WindowSystem::KeyEvent &event)
{
    if (event.keyType != QEvent::KeyPress)
        return false;
    const QKeySequence pressed(QKeyCombination(event.modifiers, Qt::Key(event.key)));
    if (!QKeySequence::keyBindings(QKeySequence::Close).contains(pressed))
        return false;
    for (QWidget *widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        if (qobject_cast<QMdiSubWindow *>(widget))
            return true;
    }
    return false;
}

bool isCloseRequest(const WindowSystemEvent &event)
{
    switch (event.type) {
    case WindowSystem::Close:
        return true;
    case WindowSystem::Mouse:
        return isCloseClick(static_cast<const WindowSystem::MouseEvent &>(event));
    case WindowSystem::Key:
        return isCloseKey(static_cast<const WindowSystem::KeyEvent &>(event));
    default:
        return false;
    }
}

// A copy to hand back to the window system later; null for input that is
// dropped (tablets, gestures, touch: none of them may act in the middle of
// a transfer, and none is worth replaying after it).
WindowSystemEvent *keptCopy(const WindowSystemEvent &event)
{
    switch (event.type) {
    case WindowSystem::Close:
        return new WindowSystem::CloseEvent(static_cast<const WindowSystem::CloseEvent &>(event));
    case WindowSystem::Enter:
        return new WindowSystem::EnterEvent(static_cast<const WindowSystem::EnterEvent &>(event));
    case WindowSystem::Leave:
        return new WindowSystem::LeaveEvent(static_cast<const WindowSystem::LeaveEvent &>(event));
    case WindowSystem::Mouse:
        return new WindowSystem::MouseEvent(static_cast<const WindowSystem::MouseEvent &>(event));
    case WindowSystem::Wheel:
        return new WindowSystem::WheelEvent(static_cast<const WindowSystem::WheelEvent &>(event));
    case WindowSystem::Key:
        return new WindowSystem::KeyEvent(static_cast<const WindowSystem::KeyEvent &>(event));
    case WindowSystem::ContextMenu:
        return new WindowSystem::ContextMenuEvent(static_cast<const WindowSystem::ContextMenuEvent &>(event));
    default:
        return nullptr;
    }
}

bool isUserEvent(const WindowSystemEvent &event)
{
    return event.type == WindowSystem::Mouse || event.type == WindowSystem::Wheel || event.type == WindowSystem::Key;
}

// Input for a window that has gone meanwhile: handed back, it would reach
// whatever window is now under the pointer.
bool isOrphaned(const WindowSystemEvent &event)
{
    return isUserEvent(event) && !event.nullWindow()
           && static_cast<const WindowSystem::UserEvent &>(event).window.isNull();
}

bool isPlainMove(const WindowSystemEvent &event)
{
    return event.type == WindowSystem::Mouse
           && static_cast<const WindowSystem::MouseEvent &>(event).buttonType == QEvent::MouseMove;
}

// A move that directly follows another in the same window with the same
// buttons replaces it: a long transfer keeps the pointer's last place, not
// every place it passed.
bool replacesLastMove(const WindowSystemEvent &last, const WindowSystemEvent &next)
{
    if (!isPlainMove(last) || !isPlainMove(next))
        return false;
    const auto &before = static_cast<const WindowSystem::MouseEvent &>(last);
    const auto &after = static_cast<const WindowSystem::MouseEvent &>(next);
    return before.window == after.window && before.buttons == after.buttons && before.modifiers == after.modifiers;
}

// Stands between the window system's queue and the windows while a
// transfer runs: everything but user input goes through (paints, socket
// wake-ups, geometry), user input is kept for later.
class HoldingHandler : public QWindowSystemEventHandler {
public:
    explicit HoldingHandler(std::function<void()> abandon) : m_abandon(std::move(abandon)) {}

    ~HoldingHandler() override { qDeleteAll(m_held); }

    bool sendEvent(WindowSystemEvent *event) override
    {
        if (!(event->type & WindowSystem::UserInputEvent))
            return QWindowSystemEventHandler::sendEvent(event);
        if (!g_abandoned && isCloseRequest(*event)) {
            g_abandoned = true;
            if (m_abandon)
                m_abandon();
        }
        WindowSystemEvent *copy = keptCopy(*event);
        if (!copy)
            return true;
        if (!m_held.isEmpty() && replacesLastMove(*m_held.constLast(), *copy))
            delete m_held.takeLast();
        m_held.append(copy);
        return true;
    }

    // Puts what was held back in front of the queue, in its order.
    void handBack()
    {
        for (auto it = m_held.crbegin(); it != m_held.crend(); ++it) {
            if (isOrphaned(**it))
                delete *it;
            else
                WindowSystem::windowSystemEventQueue.prepend(*it);
        }
        m_held.clear();
        if (QAbstractEventDispatcher *dispatcher = QCoreApplication::eventDispatcher())
            dispatcher->wakeUp();
    }

private:
    std::function<void()> m_abandon;
    QList<WindowSystemEvent *> m_held;
};

HoldingHandler *g_handler = nullptr;

} // namespace

bool WindowInputHolder::begin(std::function<void()> abandon)
{
    if (g_handler || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    g_abandoned = false;
    g_handler = new HoldingHandler(std::move(abandon));
    WindowSystem::installWindowSystemEventHandler(g_handler);
    return true;
}

void WindowInputHolder::end()
{
    WindowSystem::removeWindowSystemEventhandler(g_handler);
    g_handler->handBack();
    delete g_handler;
    g_handler = nullptr;
}

bool WindowInputHolder::holdsInput() const
{
    return g_handler && WindowSystem::eventHandler == g_handler;
}

bool transferAbandoned()
{
    return g_abandoned;
}

void markAsCloseRequest(QAction *action)
{
    action->setProperty(kCloseRequestProperty, true);
}

} // namespace platform
