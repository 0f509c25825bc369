// SPDX-License-Identifier: MIT
#include "platform/close_request.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QStyleOptionComplex>
#include <QStyleOptionTitleBar>
#include <QToolButton>
#include <QWindow>

namespace platform {

namespace {

constexpr char kCloseRequestProperty[] = "orvexClosesWindow";

QWidget *topLevelOf(QWindow *window)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

// The buttons a maximised sheet puts into the frame's menu bar belong to
// the active sheet of the frame's sheet area; a close box among them is hit
// as the widget itself finds it.
QMdiSubWindow *sheetOfMenuBarCloseBox(QWidget *widget, const QPoint &pos)
{
    if (qstrcmp(widget->metaObject()->className(), "QMdi::ControllerWidget") != 0)
        return nullptr;
    QStyleOptionComplex option;
    option.initFrom(widget);
    option.subControls = QStyle::SC_MdiMinButton | QStyle::SC_MdiNormalButton | QStyle::SC_MdiCloseButton;
    if (widget->style()->hitTestComplexControl(QStyle::CC_MdiControls, &option, pos, widget)
        != QStyle::SC_MdiCloseButton)
        return nullptr;
    const auto *area = widget->window()->findChild<QMdiArea *>();
    return area ? area->activeSubWindow() : nullptr;
}

// The close box in the title bar of a sheet that is not maximised, laid out
// as the sheet lays out its title bar: inside a border of 4 pixels unless
// the style draws none.
bool onTitleBarCloseBox(QMdiSubWindow *sheet, const QPoint &pos)
{
    if (sheet->isMaximized())
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

bool isMarkedCloseButton(QWidget *widget)
{
    const auto *button = qobject_cast<QToolButton *>(widget);
    return button && button->defaultAction() && button->defaultAction()->property(kCloseRequestProperty).toBool();
}

} // namespace

CloseControl closeControlAt(QWindow *window, const QPoint &pos)
{
    QWidget *top = window ? topLevelOf(window) : nullptr;
    QWidget *hit = top ? top->childAt(pos) : nullptr;
    if (!hit)
        return {};
    const QPoint local = hit->mapFrom(top, pos);
    if (isMarkedCloseButton(hit))
        return {hit, nullptr, true};
    if (QMdiSubWindow *sheet = sheetOfMenuBarCloseBox(hit, local))
        return {hit, sheet, false};
    auto *sheet = qobject_cast<QMdiSubWindow *>(hit);
    if (sheet && onTitleBarCloseBox(sheet, local))
        return {hit, sheet, false};
    return {};
}

QList<QKeySequence> sheetCloseKeys()
{
    QList<QKeySequence> keys{QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence &key : QKeySequence::keyBindings(QKeySequence::Close)) {
        if (!keys.contains(key))
            keys.append(key);
    }
    return keys;
}

bool isSheetCloseKey(const QKeyEvent &event)
{
    return sheetCloseKeys().contains(QKeySequence(event.keyCombination()));
}

QMdiSubWindow *sheetOf(QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (auto *sheet = qobject_cast<QMdiSubWindow *>(widget))
            return sheet;
    }
    return nullptr;
}

QMdiSubWindow *currentSheet()
{
    if (QMdiSubWindow *sheet = sheetOf(QApplication::focusWidget()))
        return sheet;
    QWidget *window = QApplication::activeWindow();
    const auto *area = window ? window->findChild<QMdiArea *>() : nullptr;
    return area ? area->activeSubWindow() : nullptr;
}

void markAsCloseRequest(QAction *action)
{
    action->setProperty(kCloseRequestProperty, true);
}

} // namespace platform
