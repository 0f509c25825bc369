// SPDX-License-Identifier: MIT
// The MDI frame, its menu and toolbar, and the one-sheet-per-class rule.
#include "compose/w_sendmail.h"
#include "support/modal_watch.h"
#include "support/scripted_dialogs.h"
#include "frame/w_main.h"
#include "receive/w_recimail.h"

#include <QAccessible>
#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QPointer>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

QAction *menuItem(w_main &frame, const char *name)
{
    auto *action = frame.findChild<QAction *>(QString::fromUtf8(name));
    if (!action)
        qFatal("menu item %s missing", name);
    return action;
}

QList<QMdiSubWindow *> openSheets(w_main &frame)
{
    QList<QMdiSubWindow *> open;
    for (QMdiSubWindow *sheet : frame.mdiArea()->subWindowList()) {
        if (!sheet->isHidden())
            open.append(sheet);
    }
    return open;
}

template <typename T>
T *sheetOf(w_main &frame)
{
    for (QMdiSubWindow *sheet : openSheets(frame)) {
        if (T *window = qobject_cast<T *>(sheet->widget()))
            return window;
    }
    return nullptr;
}

// Marks a sheet the way a user would: types into its first line edit (when
// it has one) and tags the instance.
void touchSheet(QWidget *sheet, const QString &typed)
{
    sheet->setProperty("touchedByTest", true);
    if (auto *edit = sheet->findChild<QLineEdit *>())
        edit->setText(typed);
    if (auto *edit = sheet->findChild<QPlainTextEdit *>())
        edit->setPlainText(typed);
}

// Every control a screen reader can reach under `root`: what it reports as
// the control's role and name, and the widget behind it.
struct Reached {
    QAccessible::Role role;
    QString name;
    QWidget *widget;
};

void reachFrom(QAccessibleInterface *node, QList<Reached> &reached)
{
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *child = node->child(i);
        if (!child || child->state().invisible)
            continue;
        reached.append({child->role(), child->text(QAccessible::Name), qobject_cast<QWidget *>(child->object())});
        reachFrom(child, reached);
    }
}

QString firstLineEdit(QWidget *sheet)
{
    auto *edit = sheet->findChild<QLineEdit *>();
    return edit ? edit->text() : QString();
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT

private slots:
    void frameWindow();
    void menuItems();
    void toolbarButtons();
    void startShowsOneMaximizedComposeSheet();
    void eachSheetClassOpensOnce();
    void closedSheetReopensFresh();
    void toolbarDoesWhatTheMenuDoes();
    void aboutChangesNothingElse();
    void exitClosesEverythingWithoutPrompt();
    void arrangedSheetsKeepTheirContents_data();
    void arrangedSheetsKeepTheirContents();
    void closeKeysCloseTheActiveSheet_data();
    void closeKeysCloseTheActiveSheet();
    void screenReadersFindANameForEveryControl_data();
    void screenReadersFindANameForEveryControl();
};

void TestMainFrame::frameWindow()
{
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(!frame.windowIcon().isNull());
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(frame.geometry().center().x() - available.center().x()) <= 1);
    QVERIFY(qAbs(frame.geometry().center().y() - available.center().y()) <= 1);
    // Never larger than the screen: the status line with the progress bar
    // stays on it.
    QVERIFY(available.contains(frame.frameGeometry()));
    QVERIFY(available.contains(QRect(frame.statusBar()->mapToGlobal(QPoint()), frame.statusBar()->size())));
}

void TestMainFrame::menuItems()
{
    w_main frame;
    const QList<QAction *> bar = frame.menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar.at(2)->objectName(), QStringLiteral("m_关于"));
    QVERIFY(bar.at(1)->menu());
    QCOMPARE(bar.at(1)->menu()->objectName(), QStringLiteral("m_窗口"));
    QCOMPARE(bar.at(1)->menu()->actions(), (QList<QAction *>{menuItem(frame, "m_层叠"), menuItem(frame, "m_平铺")}));
    QVERIFY(bar.at(0)->menu());
    QCOMPARE(bar.at(0)->menu()->objectName(), QStringLiteral("m_功能演示"));

    const QList<QAction *> demo = bar.at(0)->menu()->actions();
    QCOMPARE(demo.size(), 4);
    const QStringList names{QStringLiteral("m_smtp发邮件"), QStringLiteral("m_pop3收邮件"), QStringLiteral("m_-"),
                            QStringLiteral("m_退出演示")};
    for (int i = 0; i < demo.size(); ++i) {
        QCOMPARE(demo.at(i)->objectName(), names.at(i));
        QCOMPARE(demo.at(i)->isSeparator(), i == 2);
        QVERIFY(demo.at(i)->isEnabled());
    }
}

void TestMainFrame::toolbarButtons()
{
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QList<QToolBar *> toolbars = frame.findChildren<QToolBar *>();
    QCOMPARE(toolbars.size(), 1);
    QToolBar *toolbar = toolbars.first();
    QVERIFY(toolbar->isVisible());
    QVERIFY(toolbar->toolButtonStyle() == Qt::ToolButtonTextUnderIcon
            || toolbar->toolButtonStyle() == Qt::ToolButtonTextBesideIcon);

    QList<QToolButton *> buttons;
    for (QAction *action : toolbar->actions()) {
        if (auto *button = qobject_cast<QToolButton *>(toolbar->widgetForAction(action)))
            buttons.append(button);
    }
    QCOMPARE(buttons.size(), 3);
    for (QToolButton *button : buttons) {
        QVERIFY(!button->icon().isNull());
        QVERIFY(button->isVisible());
    }
    // The gap before "Exit" is wider than the one between the first two.
    const int usualGap = buttons.at(1)->geometry().left() - buttons.at(0)->geometry().right();
    const int exitGap = buttons.at(2)->geometry().left() - buttons.at(1)->geometry().right();
    QVERIFY2(exitGap > usualGap, qPrintable(QStringLiteral("%1 <= %2").arg(exitGap).arg(usualGap)));
}

void TestMainFrame::startShowsOneMaximizedComposeSheet()
{
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QList<QMdiSubWindow *> sheets = openSheets(frame);
    QCOMPARE(sheets.size(), 1);
    QVERIFY(qobject_cast<w_sendmail *>(sheets.first()->widget()));
    QVERIFY(sheets.first()->isMaximized());
    QCOMPARE(frame.mdiArea()->activeSubWindow(), sheets.first());

    // The user lands on the send form: the input focus is inside it.
    QApplication::setActiveWindow(&frame);
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QTRY_VERIFY(QApplication::focusWidget());
    QVERIFY2(sheets.first()->widget()->isAncestorOf(QApplication::focusWidget())
                     || sheets.first()->widget() == QApplication::focusWidget(),
             QApplication::focusWidget()->metaObject()->className());
}

void TestMainFrame::eachSheetClassOpensOnce()
{
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    w_sendmail *compose = sheetOf<w_sendmail>(frame);
    QVERIFY(compose);
    touchSheet(compose, QStringLiteral("typed by the user"));

    menuItem(frame, "m_pop3收邮件")->trigger();
    menuItem(frame, "m_pop3收邮件")->trigger();
    QCOMPARE(openSheets(frame).size(), 2);
    w_recimail *receive = sheetOf<w_recimail>(frame);
    QVERIFY(receive);
    QVERIFY(frame.mdiArea()->activeSubWindow()->widget() == receive);
    QVERIFY(frame.mdiArea()->activeSubWindow()->isMaximized());

    menuItem(frame, "m_smtp发邮件")->trigger();
    menuItem(frame, "m_smtp发邮件")->trigger();
    QCOMPARE(openSheets(frame).size(), 2);
    QCOMPARE(sheetOf<w_sendmail>(frame), compose);
    QVERIFY(frame.mdiArea()->activeSubWindow()->widget() == compose);
    QVERIFY(compose->property("touchedByTest").toBool());
    if (compose->findChild<QLineEdit *>())
        QCOMPARE(firstLineEdit(compose), QStringLiteral("typed by the user"));

    menuItem(frame, "m_pop3收邮件")->trigger();
    QCOMPARE(sheetOf<w_recimail>(frame), receive);
    QVERIFY(frame.mdiArea()->activeSubWindow()->widget() == receive);

    // Minimized or shaded, the sheet is brought back, not opened again.
    QMdiSubWindow *window = frame.mdiArea()->activeSubWindow();
    for (const char *item : {"m_pop3收邮件", "m_smtp发邮件"}) {
        window->showMinimized();
        menuItem(frame, item)->trigger();
        menuItem(frame, "m_pop3收邮件")->trigger();
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
        QVERIFY(!window->isMinimized());
        QVERIFY(receive->isVisible());
        QCOMPARE(frame.mdiArea()->activeSubWindow(), window);
    }
    window->showNormal();
    window->showShaded();
    QVERIFY(window->isShaded());
    menuItem(frame, "m_pop3收邮件")->trigger();
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    QVERIFY(!window->isShaded());
    QVERIFY(receive->isVisible());
    QCOMPARE(frame.mdiArea()->activeSubWindow(), window);
}

void TestMainFrame::closedSheetReopensFresh()
{
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QPointer<w_sendmail> first = sheetOf<w_sendmail>(frame);
    const QString designValue = firstLineEdit(first);
    touchSheet(first, QStringLiteral("changed"));

    // Reopened at once, before the closed sheet's deletion has run.
    frame.mdiArea()->activeSubWindow()->close();
    menuItem(frame, "m_smtp发邮件")->trigger();
    w_sendmail *second = sheetOf<w_sendmail>(frame);
    QVERIFY(second);
    QVERIFY(second != first.data() || first.isNull());
    QVERIFY(!second->property("touchedByTest").toBool());
    QCOMPARE(firstLineEdit(second), designValue);
    QCOMPARE(openSheets(frame).size(), 1);
    QVERIFY(frame.mdiArea()->activeSubWindow()->isMaximized());
    flushDeletes();
    QVERIFY(first.isNull());

    // And after the event loop ran; the receive sheet too.
    menuItem(frame, "m_pop3收邮件")->trigger();
    QPointer<w_recimail> receive = sheetOf<w_recimail>(frame);
    touchSheet(receive, QStringLiteral("changed"));
    frame.mdiArea()->activeSubWindow()->close();
    flushDeletes();
    QVERIFY(receive.isNull());
    menuItem(frame, "m_pop3收邮件")->trigger();
    QVERIFY(sheetOf<w_recimail>(frame));
    QVERIFY(!sheetOf<w_recimail>(frame)->property("touchedByTest").toBool());
    QCOMPARE(openSheets(frame).size(), 2);

    // A sheet that closes itself takes its frame inside the MDI area along.
    QPointer<w_sendmail> self = sheetOf<w_sendmail>(frame);
    self->close();
    QTRY_VERIFY(self.isNull());
    QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 1);
    menuItem(frame, "m_smtp发邮件")->trigger();
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    QVERIFY(sheetOf<w_sendmail>(frame));
}

void TestMainFrame::toolbarDoesWhatTheMenuDoes()
{
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QToolBar *toolbar = frame.findChild<QToolBar *>();
    auto button = [&](const char *name) {
        return qobject_cast<QToolButton *>(toolbar->widgetForAction(menuItem(frame, name)));
    };
    QTest::mouseClick(button("m_pop3收邮件"), Qt::LeftButton);
    QTest::mouseClick(button("m_pop3收邮件"), Qt::LeftButton);
    QCOMPARE(openSheets(frame).size(), 2);
    QVERIFY(qobject_cast<w_recimail *>(frame.mdiArea()->activeSubWindow()->widget()));
    QTest::mouseClick(button("m_smtp发邮件"), Qt::LeftButton);
    QVERIFY(qobject_cast<w_sendmail *>(frame.mdiArea()->activeSubWindow()->widget()));
    QCOMPARE(openSheets(frame).size(), 2);
}

void TestMainFrame::aboutChangesNothingElse()
{
    ScriptedDialogs dialogs;
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    menuItem(frame, "m_pop3收邮件")->trigger();
    w_recimail *receive = sheetOf<w_recimail>(frame);
    touchSheet(receive, QStringLiteral("kept"));
    const QString titleBefore = frame.windowTitle();

    menuItem(frame, "m_关于")->trigger();
    QCOMPARE(dialogs.messageBoxes.size(), 1);
    QVERIFY(dialogs.messageBoxes.first().title.contains(QStringLiteral("1.0")));
    QVERIFY(!dialogs.messageBoxes.first().text.isEmpty());
    QCOMPARE(openSheets(frame).size(), 2);
    QCOMPARE(frame.mdiArea()->activeSubWindow()->widget(), receive);
    QVERIFY(frame.mdiArea()->activeSubWindow()->isMaximized());
    if (receive->findChild<QLineEdit *>())
        QCOMPARE(firstLineEdit(receive), QStringLiteral("kept"));
    QCOMPARE(frame.windowTitle(), titleBefore);
    QVERIFY(frame.isVisible());
}

void TestMainFrame::exitClosesEverythingWithoutPrompt()
{
    ScriptedDialogs dialogs;
    ModalWatch watch;
    QPointer<w_main> frame = new w_main;
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    menuItem(*frame, "m_pop3收邮件")->trigger();
    QPointer<w_sendmail> compose = sheetOf<w_sendmail>(*frame);
    QPointer<w_recimail> receive = sheetOf<w_recimail>(*frame);
    touchSheet(compose, QStringLiteral("unsent text"));

    menuItem(*frame, "m_退出演示")->trigger();
    QVERIFY(!frame || !frame->isVisible());
    flushDeletes();
    QVERIFY(frame.isNull());
    QVERIFY(compose.isNull());
    QVERIFY(receive.isNull());
    QVERIFY(dialogs.messageBoxes.isEmpty());
    QCOMPARE(watch.caught, 0);
    // No window is left, so the program ends.
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), window->metaObject()->className());
}

void TestMainFrame::arrangedSheetsKeepTheirContents_data()
{
    QTest::addColumn<QString>("arrange");
    QTest::newRow("restored") << "restore";
    QTest::newRow("cascaded from the menu") << "m_层叠";
    QTest::newRow("tiled from the menu") << "m_平铺";
}

void TestMainFrame::arrangedSheetsKeepTheirContents()
{
    QFETCH(QString, arrange);
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    menuItem(frame, "m_pop3收邮件")->trigger();
    const QSize design[] = {w_sendmail().size(), w_recimail().size()};
    const QList<QMdiSubWindow *> sheets = openSheets(frame);
    QCOMPARE(sheets.size(), 2);

    if (arrange == QLatin1String("restore"))
        frame.mdiArea()->activeSubWindow()->showNormal();
    else
        menuItem(frame, arrange.toUtf8().constData())->trigger();
    QCoreApplication::processEvents();

    for (int i = 0; i < 2; ++i) {
        QWidget *form = sheets.at(i)->widget();
        QVERIFY(!sheets.at(i)->isMaximized());
        QVERIFY(form->isVisible());
        // Restored at the design size; arranged, never smaller than what
        // its controls cover.
        if (arrange == QLatin1String("restore"))
            QCOMPARE(form->size(), design[i]);
        QVERIFY2(form->width() >= form->childrenRect().right() && form->height() >= form->childrenRect().bottom(),
                 qPrintable(QStringLiteral("%1x%2").arg(form->width()).arg(form->height())));
    }
    // The toolbar brings a sheet back with its controls.
    menuItem(frame, "m_smtp发邮件")->trigger();
    QCOMPARE(frame.mdiArea()->activeSubWindow(), sheets.at(0));
    QVERIFY(sheets.at(0)->widget()->isVisible());
}

void TestMainFrame::closeKeysCloseTheActiveSheet_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::newRow("Ctrl+F4") << QKeyCombination(Qt::CTRL, Qt::Key_F4);
    QTest::newRow("Ctrl+W") << QKeyCombination(Qt::CTRL, Qt::Key_W);
}

void TestMainFrame::closeKeysCloseTheActiveSheet()
{
    QFETCH(QKeyCombination, key);
    w_main frame;
    frame.show();
    QApplication::setActiveWindow(&frame);
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    menuItem(frame, "m_pop3收邮件")->trigger();
    QPointer<w_recimail> receive = sheetOf<w_recimail>(frame);
    receive->findChild<QLineEdit *>(QStringLiteral("sle_userid"))->setFocus();

    QTest::keyClick(frame.windowHandle(), key.key(), key.keyboardModifiers());
    QTRY_VERIFY(!sheetOf<w_recimail>(frame));
    QVERIFY(sheetOf<w_sendmail>(frame));
}

void TestMainFrame::screenReadersFindANameForEveryControl_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::newRow("compose") << "m_smtp发邮件";
    QTest::newRow("receive") << "m_pop3收邮件";
}

// Walks what a screen reader is told about the real sheet: every control it
// reaches has a name and is on the screen (a hidden one is not reported).
void TestMainFrame::screenReadersFindANameForEveryControl()
{
    QFETCH(QString, sheet);
    w_main frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    menuItem(frame, sheet.toUtf8().constData())->trigger();
    QWidget *form = frame.mdiArea()->activeSubWindow()->widget();

    QList<Reached> reached;
    reachFrom(QAccessible::queryAccessibleInterface(form), reached);
    QVERIFY(reached.size() > 20);
    const QList<QAccessible::Role> controls = {QAccessible::EditableText, QAccessible::SpinBox, QAccessible::Table,
                                               QAccessible::List, QAccessible::PushButton, QAccessible::CheckBox};
    int named = 0;
    for (const Reached &control : std::as_const(reached)) {
        const QString what = control.widget ? control.widget->objectName() : QString::number(control.role);
        if (control.widget)
            QVERIFY2(control.widget->isVisible(), qPrintable(what));
        if (control.widget && control.widget->parentWidget() == form && controls.contains(control.role)) {
            QVERIFY2(!control.name.isEmpty(), qPrintable(what));
            ++named;
        }
    }
    QVERIFY(named >= 10);
}

QTEST_MAIN(TestMainFrame)
#include "test_main_frame.moc"
