// SPDX-License-Identifier: MIT
// A transfer started from a sheet of the frame, against the real test
// servers: the frame's status line tells what is happening while it runs
// and is empty again afterwards; the windows repaint meanwhile, but user
// input that arrives during the transfer (a click, a key) waits until the
// handler is over. A request to close a window ends the transfer at once,
// deleting nothing on the server, and the window closes without a result. A changed password starts a fetch only when the user leaves it
// for the same sheet, and only once his click has landed.
#include "compose/w_sendmail.h"
#include "engine/n_orvex.h"
#include "fixtures/mail_servers.h"
#include "support/scripted_dialogs.h"
#include "frame/w_main.h"
#include "receive/d_email_list.h"
#include "receive/w_recimail.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QToolBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComplex>
#include <QStyleOptionTitleBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Input as the window system delivers it, to the top-level window, handled
// where the program stands: during a transfer, inside its wait.
void queueClickAt(QWidget *widget, const QPoint &pos, Qt::MouseButton button = Qt::LeftButton)
{
    QWindow *window = widget->window()->windowHandle();
    QTest::mouseClick(window, button, Qt::NoModifier, widget->mapTo(widget->window(), pos));
}

void queueClick(QWidget *widget)
{
    queueClickAt(widget, widget->rect().center());
}

// A press at `pos` of `pressed` and its release over another control: no
// click.
void queuePressAndReleaseElsewhere(QWidget *pressed, const QPoint &pos, QWidget *released)
{
    QTest::mousePress(pressed->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      pressed->mapTo(pressed->window(), pos));
    QTest::mouseRelease(released->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                        released->mapTo(released->window(), released->rect().center()));
}

void queueKey(QWidget *window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(window->window()->windowHandle(), Qt::Key(key), modifiers);
}

// The platform's own shortcut for closing a sheet: Ctrl+F4 on the offscreen
// platform, Ctrl+W on X11.
void queueCloseShortcut(QWidget *window)
{
    const QKeyCombination close = QKeySequence::keyBindings(QKeySequence::Close).value(0)[0];
    queueKey(window, close.key(), close.keyboardModifiers());
}

// Handles what the input started and what that started in turn.
void handleQueuedInput()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// The window manager's close, as the window system reports it.
void queueCloseRequest(QWidget *window)
{
    window->windowHandle()->close();
}

// The close box a maximised sheet puts into the frame's menu bar: the
// buttons' widget and the box's centre in it.
std::pair<QWidget *, QPoint> sheetCloseBox(QMenuBar *bar)
{
    QWidget *buttons = bar->cornerWidget(Qt::TopRightCorner);
    if (!buttons)
        qFatal("the maximised sheet shows no buttons in the menu bar");
    QStyleOptionComplex option;
    option.initFrom(buttons);
    option.subControls = QStyle::SC_MdiMinButton | QStyle::SC_MdiNormalButton | QStyle::SC_MdiCloseButton;
    const QRect box = buttons->style()->subControlRect(QStyle::CC_MdiControls, &option, QStyle::SC_MdiCloseButton,
                                                       buttons);
    return {buttons, box.center()};
}

void queueClickOnSheetCloseBox(QMenuBar *bar)
{
    const auto [buttons, centre] = sheetCloseBox(bar);
    queueClickAt(buttons, centre);
}

// A click on the close box in the title bar of a sheet that is not maximised.
void queueClickOnTitleBarCloseBox(QMdiSubWindow *sheet)
{
    QStyleOptionTitleBar option;
    option.initFrom(sheet);
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = sheet->windowFlags();
    option.titleBarState = sheet->windowState();
    const int border = 4;
    option.rect = QRect(border, border, sheet->width() - 2 * border,
                        sheet->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, sheet));
    queueClickAt(sheet, sheet->style()
                                ->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, sheet)
                                .center());
}

class PaintCounter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

// What the program showed and what had happened to the queued input at the
// moment the handler told the user its result (still inside the handler).
struct AtResult {
    bool reached = false;
    int clicks = 0;
    bool frameOpen = false;
    int probePaints = 0;
    QString status;  // the status line behind the result
};

template <typename T>
T *sheetOf(w_main &frame)
{
    for (QMdiSubWindow *sheet : frame.mdiArea()->subWindowList()) {
        if (T *window = qobject_cast<T *>(sheet->widget()))
            return window;
    }
    return nullptr;
}

template <typename T>
T *child(QWidget *parent, const char *name)
{
    auto *found = parent->findChild<T *>(QString::fromUtf8(name));
    if (!found)
        qFatal("control %s missing", name);
    return found;
}

} // namespace

class TestTransferProgress : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sendShowsProgressAndHoldsInputBackUntilTheHandlerEnds();
    void fetchShowsConnectingLogonAndEachMessage();
    void failedFetchClearsTheStatusLine();
    void changedPasswordFetchesOnlyWhenLeftForTheSheet_data();
    void changedPasswordFetchesOnlyWhenLeftForTheSheet();
    void closeRequestsDuringAFetch_data();
    void closeRequestsDuringAFetch();
    void closingDuringASendEndsIt_data();
    void closingDuringASendEndsIt();

private:
    // Puts three messages into the mailbox of `user` and opens the receive
    // sheet, filled in to fetch them all and delete them after reading.
    // Null when the messages did not arrive.
    w_recimail *openDeletingFetchOfThree(const QString &user);
    bool focusPasswordInActiveFrame(QWidget *form);
    // Queues, on the first text of the status line, what the user does to
    // close: "frame", "exit", "close box", "title bar", "other title bar"
    // (the close box of the other sheet), "press away" (a press on the close
    // box released elsewhere) or "shortcut". True once queued.
    void closeOnFirstProgress(const QString &close, bool *queued);
    // Queues one of the ways of closing named above.
    void queueClose(const QString &close);
    // Records every text the status line shows; on the first one, queues a
    // click on the probe button and a key press for it (Space, a second
    // click), and asks the probe to repaint.
    void watchStatusLine();
    void snapshotAtResult();

    std::optional<TestServers> m_servers;
    QTemporaryDir m_workDir;
    QString m_savedDir;
    ScriptedDialogs m_dialogs;
    QPointer<w_main> m_frame;
    QPushButton *m_probe = nullptr;
    PaintCounter m_probePaints;
    int m_clicks = 0;
    QStringList m_shown;
    QStringList m_bars; // the progress bar beside each text: "value/maximum", "" when hidden
    AtResult m_atResult;
};

void TestTransferProgress::initTestCase()
{
    qputenv("ORVEX_COMPONENT", qgetenv("ORVEX_BIN_DIR") + "/liborvex.so");
    QVERIFY2(n_orvex().of_register(), "the component library could not be registered");
    m_servers = TestServers::load();
    if (!m_servers)
        QFAIL(qPrintable(TestServers::unavailableReason()));
    qputenv("ORVEX_CA_FILE", m_servers->caFile().toLocal8Bit());
    m_savedDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workDir.path()));
}

void TestTransferProgress::init()
{
    m_shown.clear();
    m_bars.clear();
    m_clicks = 0;
    m_atResult = AtResult();
    m_dialogs.reset();
    m_dialogs.whileMessageShown = [this] { snapshotAtResult(); };

    m_probe = new QPushButton(QStringLiteral("probe"));
    m_probe->installEventFilter(&m_probePaints);
    connect(m_probe, &QPushButton::clicked, this, [this] { ++m_clicks; });
    m_probe->setGeometry(40, 40, 120, 40);
    m_probe->show();
    m_frame = new w_main;
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_probe));
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    watchStatusLine();
}

void TestTransferProgress::cleanup()
{
    delete m_frame.data();
    delete m_probe;
    m_probe = nullptr;
}

void TestTransferProgress::watchStatusLine()
{
    connect(m_frame->statusBar(), &QStatusBar::messageChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            return;
        if (m_shown.isEmpty()) {
            queueClick(m_probe);
            queueKey(m_probe, Qt::Key_Space);
            m_probePaints.paints = 0;
            m_probe->update();
        }
        m_shown << text;
        const auto *bar = child<QProgressBar>(m_frame, "progressbar");
        m_bars << (bar->isVisible() ? QStringLiteral("%1/%2").arg(bar->value()).arg(bar->maximum()) : QString());
    });
}

void TestTransferProgress::snapshotAtResult()
{
    if (m_atResult.reached)
        return;
    m_atResult.reached = true;
    m_atResult.clicks = m_clicks;
    m_atResult.frameOpen = m_frame && m_frame->isVisible();
    m_atResult.probePaints = m_probePaints.paints;
    m_atResult.status = m_frame ? m_frame->statusBar()->currentMessage() : QString();
}

void TestTransferProgress::sendShowsProgressAndHoldsInputBackUntilTheHandlerEnds()
{
    const QString user = QStringLiteral("user27");
    m_servers->clearMailbox(user);
    // Large enough that the data goes out in many writes.
    QFile attachment(m_workDir.filePath(QStringLiteral("big.bin")));
    QVERIFY(attachment.open(QIODevice::WriteOnly));
    QByteArray block(1024 * 1024, 'x');
    for (int i = 0; i < 3; ++i)
        attachment.write(block);
    attachment.close();

    w_sendmail *form = sheetOf<w_sendmail>(*m_frame);
    QVERIFY(form);
    child<QLineEdit>(form, "sle_server")->setText(QStringLiteral("localhost"));
    child<QLineEdit>(form, "sle_port")->setText(QString::number(m_servers->smtpPort()));
    child<QLineEdit>(form, "sle_userid")->setText(user);
    child<QLineEdit>(form, "sle_password")->setText(TestServers::password(user));
    child<QCheckBox>(form, "cbx_smtpauth")->setChecked(true);
    child<QLineEdit>(form, "sle_send_email")->setText(user + QStringLiteral("@localhost"));
    child<QLineEdit>(form, "sle_from_email")->setText(user + QStringLiteral("@localhost"));
    child<QLineEdit>(form, "sle_subject")->setText(QStringLiteral("进度"));
    child<QListWidget>(form, "lb_attachments")->addItem(attachment.fileName());

    child<QPushButton>(form, "cb_send")->click();

    QCOMPARE(m_dialogs.texts().value(0), QStringLiteral("发送成功！"));
    QVERIFY2(m_shown.size() >= 3, qPrintable(m_shown.join(QLatin1Char('|'))));
    QCOMPARE(m_shown.at(0), QStringLiteral("正在连接 localhost…"));
    QCOMPARE(m_shown.at(1), QStringLiteral("正在登录 localhost…"));
    QVERIFY2(!m_bars.at(2).isEmpty() && m_bars.at(0).isEmpty(), qPrintable(m_bars.join(QLatin1Char('|'))));
    QVERIFY(child<QProgressBar>(m_frame, "progressbar")->isHidden());
    QVERIFY2(m_shown.at(2).startsWith(QStringLiteral("正在发送 ")) && m_shown.at(2).endsWith(QStringLiteral(" MB")),
             qPrintable(m_shown.at(2)));
    // The whole transfer ran with the click and the key press queued:
    // neither was handled, but the probe was repainted.
    QVERIFY(m_atResult.reached);
    QCOMPARE(m_atResult.clicks, 0);
    QVERIFY(m_atResult.frameOpen);
    QVERIFY(m_atResult.probePaints > 0);
    QCOMPARE(m_atResult.status, QString());
    QCOMPARE(m_frame->statusBar()->currentMessage(), QString());

    // Held back, not lost: once the handler is over, both take effect.
    QTRY_COMPARE(m_clicks, 2);
    QVERIFY(m_frame->isVisible());
    QVERIFY(m_servers->waitForMessageCount(user, 1));
}

void TestTransferProgress::fetchShowsConnectingLogonAndEachMessage()
{
    const QString user = QStringLiteral("user28");
    m_servers->clearMailbox(user);
    // The first message is large enough to have its size shown.
    QByteArray large = "From: a@example.cn\r\nTo: b@example.cn\r\nSubject: big\r\n"
                       "Content-Type: text/plain\r\n\r\n";
    while (large.size() < 2 * 1024 * 1024 + 100 * 1024)
        large += QByteArray(998, 'y') + "\r\n";
    m_servers->deliver(user, large);
    for (int i = 2; i <= 3; ++i)
        m_servers->deliver(user, "From: a@example.cn\r\nSubject: small " + QByteArray::number(i) + "\r\n\r\nHello.\r\n");
    QVERIFY(m_servers->waitForMessageCount(user, 3));

    m_frame->opensheet<w_recimail>();
    w_recimail *form = sheetOf<w_recimail>(*m_frame);
    QVERIFY(form);
    child<QLineEdit>(form, "sle_server")->setText(QStringLiteral("localhost"));
    child<QLineEdit>(form, "sle_port")->setText(QString::number(m_servers->pop3Port()));
    child<QLineEdit>(form, "sle_userid")->setText(user);
    child<QLineEdit>(form, "sle_password")->setText(TestServers::password(user));
    child<QCheckBox>(form, "cbx_all")->setChecked(true);

    child<QPushButton>(form, "cb_rev")->click();

    QCOMPARE(m_dialogs.texts().value(0), QStringLiteral("接收成功！"));
    QCOMPARE(form->mailList()->rowCount(), 3);
    QVERIFY2(m_shown.size() >= 3, qPrintable(m_shown.join(QLatin1Char('|'))));
    QCOMPARE(m_shown.at(0), QStringLiteral("正在连接 localhost…"));
    QCOMPARE(m_shown.at(1), QStringLiteral("正在登录 localhost…"));
    QVERIFY2(m_shown.at(2).startsWith(QStringLiteral("正在接收第 1 / 3 封邮件（0.0 / 2.1 MB）")),
             qPrintable(m_shown.at(2)));
    // Messages n of m, beside the text: the first of three just begun.
    QCOMPARE(m_bars.at(1), QString());
    QCOMPARE(m_bars.at(2), QStringLiteral("0/1000"));
    QVERIFY(child<QProgressBar>(m_frame, "progressbar")->isHidden());
    QVERIFY(m_atResult.reached);
    QCOMPARE(m_atResult.clicks, 0);
    QVERIFY(m_atResult.frameOpen);
    QCOMPARE(m_atResult.status, QString());
    QCOMPARE(m_frame->statusBar()->currentMessage(), QString());
    QTRY_COMPARE(m_clicks, 2);
}

void TestTransferProgress::failedFetchClearsTheStatusLine()
{
    m_frame->opensheet<w_recimail>();
    w_recimail *form = sheetOf<w_recimail>(*m_frame);
    QVERIFY(form);
    child<QLineEdit>(form, "sle_server")->setText(QStringLiteral("localhost"));
    child<QLineEdit>(form, "sle_port")->setText(QString::number(m_servers->pop3Port()));
    child<QLineEdit>(form, "sle_userid")->setText(QStringLiteral("user28"));
    child<QLineEdit>(form, "sle_password")->setText(QStringLiteral("not-the-password"));

    child<QPushButton>(form, "cb_rev")->click();

    QCOMPARE(m_dialogs.texts().value(0), QStringLiteral("接收失败！"));
    QVERIFY2(m_shown.contains(QStringLiteral("正在登录 localhost…")), qPrintable(m_shown.join(QLatin1Char('|'))));
    QCOMPARE(m_frame->statusBar()->currentMessage(), QString());
    QTRY_COMPARE(m_clicks, 2);
}

void TestTransferProgress::changedPasswordFetchesOnlyWhenLeftForTheSheet_data()
{
    QTest::addColumn<QString>("leave");
    QTest::addColumn<bool>("fetches");
    QTest::newRow("Enter") << "enter" << true;
    QTest::newRow("Tab") << "tab" << true;
    // The click unticks the box before the fetch reads it: nothing deleted.
    QTest::newRow("click on delete-after-read") << "untick" << true;
    QTest::newRow("menu opened and closed") << "menu" << false;
    QTest::newRow("right-click into another field") << "right click" << false;
    QTest::newRow("other sheet from the toolbar") << "smtp" << false;
    QTest::newRow("other program") << "program" << false;
    QTest::newRow("sheet closed") << "close sheet" << false;
    QTest::newRow("frame closed by the window manager") << "frame" << false;
    QTest::newRow("Exit") << "exit" << false;
}

void TestTransferProgress::changedPasswordFetchesOnlyWhenLeftForTheSheet()
{
    QFETCH(QString, leave);
    QFETCH(bool, fetches);
    disconnect(m_frame->statusBar(), nullptr, this, nullptr);
    const QString user = QStringLiteral("user29");
    w_recimail *form = openDeletingFetchOfThree(user);
    QVERIFY(form);
    QMdiSubWindow *sheet = m_frame->mdiArea()->activeSubWindow();
    child<QLineEdit>(form, "sle_subject")->setText(QStringLiteral("shown before"));
    auto *password = child<QLineEdit>(form, "sle_password");
    QVERIFY(focusPasswordInActiveFrame(form));
    // The user changes the password (a letter typed and taken back).
    queueKey(m_frame, Qt::Key_X);
    queueKey(m_frame, Qt::Key_Backspace);
    handleQueuedInput();
    QVERIFY(password->isModified());

    if (leave == QLatin1String("enter")) {
        queueKey(m_frame, Qt::Key_Return);
    } else if (leave == QLatin1String("tab")) {
        queueKey(m_frame, Qt::Key_Tab);
    } else if (leave == QLatin1String("untick")) {
        auto *box = child<QCheckBox>(form, "cbx_deleteafterread");
        queueClickAt(box, QPoint(6, box->height() / 2));
    } else if (leave == QLatin1String("menu")) {
        QMenuBar *bar = m_frame->menuBar();
        queueClickAt(bar, bar->actionGeometry(bar->actions().constFirst()).center());
        handleQueuedInput();
        QTRY_VERIFY(QApplication::activePopupWidget());
        queueKey(QApplication::activePopupWidget(), Qt::Key_Escape);
    } else if (leave == QLatin1String("right click")) {
        auto *server = child<QLineEdit>(form, "sle_server");
        queueClickAt(server, server->rect().center(), Qt::RightButton);
        handleQueuedInput();
        QTRY_VERIFY(QApplication::activePopupWidget());
        queueKey(QApplication::activePopupWidget(), Qt::Key_Escape);
    } else if (leave == QLatin1String("smtp")) {
        auto *toolbar = child<QToolBar>(m_frame, "toolbar");
        queueClick(toolbar->widgetForAction(child<QAction>(m_frame, "m_smtp发邮件")));
    } else if (leave == QLatin1String("program")) {
        m_probe->activateWindow();
        QTRY_VERIFY(m_probe->isActiveWindow());
    } else if (leave == QLatin1String("close sheet")) {
        sheet->close();
    } else {
        queueClose(leave);
    }
    handleQueuedInput();

    if (fetches) {
        QTRY_COMPARE(m_dialogs.texts(), QStringList{QStringLiteral("接收成功！")});
        const bool unticked = leave == QLatin1String("untick");
        QCOMPARE(form->mailList()->rowCount(), 3);
        QVERIFY(m_servers->waitForMessageCount(user, unticked ? 3 : 0));
        // The message shown before belonged to the list the fetch replaced.
        QCOMPARE(child<QLineEdit>(form, "sle_subject")->text(), QString());
    } else {
        QVERIFY2(m_dialogs.messageBoxes.isEmpty(), qPrintable(m_dialogs.texts().join(QLatin1Char('|'))));
        QVERIFY(m_servers->waitForMessageCount(user, 3));
    }
}

void TestTransferProgress::closeRequestsDuringAFetch_data()
{
    // What closes: "frame" or "sheet" ends the fetch at once, deleting
    // nothing; "other sheet" (after the fetch) and "nothing" let it run to
    // its end.
    QTest::addColumn<QString>("close");
    QTest::addColumn<QString>("closes");
    QTest::newRow("frame closed by the window manager") << "frame" << "frame";
    QTest::newRow("Exit") << "exit" << "frame";
    QTest::newRow("sheet's close box") << "close box" << "sheet";
    QTest::newRow("restored sheet's close box") << "title bar" << "sheet";
    QTest::newRow("close shortcut") << "shortcut" << "sheet";
    QTest::newRow("other sheet's close box") << "other title bar" << "other sheet";
    QTest::newRow("close box pressed, released elsewhere") << "press away" << "nothing";
}

void TestTransferProgress::closeRequestsDuringAFetch()
{
    QFETCH(QString, close);
    QFETCH(QString, closes);
    disconnect(m_frame->statusBar(), nullptr, this, nullptr);
    const QString user = QStringLiteral("user29");
    w_recimail *form = openDeletingFetchOfThree(user);
    QVERIFY(form);
    // Side by side, each title bar with its close box in view.
    if (close.endsWith(QLatin1String("title bar"))) {
        const QList<QMdiSubWindow *> sheets = m_frame->mdiArea()->subWindowList();
        const QSize area = m_frame->mdiArea()->viewport()->size();
        for (int i = 0; i < sheets.size(); ++i) {
            sheets.at(i)->showNormal();
            sheets.at(i)->setGeometry(i * area.width() / 2, 0, area.width() / 2, area.height());
        }
    }
    QVERIFY(focusPasswordInActiveFrame(form));

    // The user closes as soon as the fetch shows it has begun.
    bool queued = false;
    closeOnFirstProgress(close, &queued);
    child<QPushButton>(form, "cb_rev")->click();

    QVERIFY(queued);
    if (closes == QLatin1String("frame") || closes == QLatin1String("sheet")) {
        QVERIFY2(m_dialogs.messageBoxes.isEmpty(), qPrintable(m_dialogs.texts().join(QLatin1Char('|'))));
        QVERIFY(m_servers->waitForMessageCount(user, 3));
    } else {
        QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("接收成功！")});
        QVERIFY(m_servers->waitForMessageCount(user, 0));
    }
    if (closes == QLatin1String("frame")) {
        QTRY_VERIFY(!m_frame || !m_frame->isVisible());
        return;
    }
    if (closes == QLatin1String("sheet")) {
        QTRY_VERIFY(!sheetOf<w_recimail>(*m_frame));
        QCOMPARE(m_frame->statusBar()->currentMessage(), QStringLiteral("接收已中止：服务器上的邮件没有删除。"));
        return;
    }
    handleQueuedInput();
    QCOMPARE(sheetOf<w_recimail>(*m_frame), form);
    QCOMPARE(sheetOf<w_sendmail>(*m_frame) == nullptr, closes == QLatin1String("other sheet"));
}

void TestTransferProgress::closingDuringASendEndsIt_data()
{
    QTest::addColumn<QString>("close");
    QTest::newRow("frame closed by the window manager") << "frame";
    QTest::newRow("sheet's close box") << "close box";
}

void TestTransferProgress::closingDuringASendEndsIt()
{
    QFETCH(QString, close);
    disconnect(m_frame->statusBar(), nullptr, this, nullptr);
    const QString user = QStringLiteral("user27");
    m_servers->clearMailbox(user);
    w_sendmail *form = sheetOf<w_sendmail>(*m_frame);
    child<QLineEdit>(form, "sle_server")->setText(QStringLiteral("localhost"));
    child<QLineEdit>(form, "sle_port")->setText(QString::number(m_servers->smtpPort()));
    child<QLineEdit>(form, "sle_userid")->setText(user);
    child<QLineEdit>(form, "sle_password")->setText(TestServers::password(user));
    child<QCheckBox>(form, "cbx_smtpauth")->setChecked(true);
    child<QLineEdit>(form, "sle_send_email")->setText(user + QStringLiteral("@localhost"));
    child<QLineEdit>(form, "sle_from_email")->setText(user + QStringLiteral("@localhost"));

    bool queued = false;
    closeOnFirstProgress(close, &queued);
    child<QPushButton>(form, "cb_send")->click();

    QVERIFY(queued);
    QVERIFY2(m_dialogs.messageBoxes.isEmpty(), qPrintable(m_dialogs.texts().join(QLatin1Char('|'))));
    if (close == QLatin1String("frame")) {
        QTRY_VERIFY(!m_frame || !m_frame->isVisible());
    } else {
        QTRY_VERIFY(!sheetOf<w_sendmail>(*m_frame));
        QCOMPARE(m_frame->statusBar()->currentMessage(), QStringLiteral("发送已中止：邮件没有发出。"));
    }
    QVERIFY(m_servers->messageFiles(user).isEmpty());
}

w_recimail *TestTransferProgress::openDeletingFetchOfThree(const QString &user)
{
    m_servers->clearMailbox(user);
    for (int i = 1; i <= 3; ++i)
        m_servers->deliver(user, "From: a@example.cn\r\nSubject: m" + QByteArray::number(i) + "\r\n\r\nHi.\r\n");
    if (!m_servers->waitForMessageCount(user, 3))
        return nullptr;
    m_frame->opensheet<w_recimail>();
    w_recimail *form = sheetOf<w_recimail>(*m_frame);
    child<QLineEdit>(form, "sle_port")->setText(QString::number(m_servers->pop3Port()));
    child<QLineEdit>(form, "sle_userid")->setText(user);
    child<QLineEdit>(form, "sle_password")->setText(TestServers::password(user));
    child<QCheckBox>(form, "cbx_all")->setChecked(true);
    child<QCheckBox>(form, "cbx_deleteafterread")->setChecked(true);
    return form;
}

// The frame active with the form's password field focused, as a user about
// to type into it has it.
bool TestTransferProgress::focusPasswordInActiveFrame(QWidget *form)
{
    m_frame->activateWindow();
    if (!QTest::qWaitForWindowActive(m_frame))
        return false;
    child<QLineEdit>(form, "sle_password")->setFocus();
    return true;
}

void TestTransferProgress::closeOnFirstProgress(const QString &close, bool *queued)
{
    connect(m_frame->statusBar(), &QStatusBar::messageChanged, this, [this, close, queued](const QString &text) {
        if (text.isEmpty() || *queued)
            return;
        *queued = true;
        queueClose(close);
    });
}

void TestTransferProgress::queueClose(const QString &close)
{
    if (close == QLatin1String("frame"))
        queueCloseRequest(m_frame);
    else if (close == QLatin1String("exit"))
        queueClick(child<QToolBar>(m_frame, "toolbar")->widgetForAction(child<QAction>(m_frame, "m_退出演示")));
    else if (close == QLatin1String("close box"))
        queueClickOnSheetCloseBox(m_frame->menuBar());
    else if (close == QLatin1String("title bar"))
        queueClickOnTitleBarCloseBox(m_frame->mdiArea()->activeSubWindow());
    else if (close == QLatin1String("other title bar"))
        queueClickOnTitleBarCloseBox(qobject_cast<QMdiSubWindow *>(sheetOf<w_sendmail>(*m_frame)->parentWidget()));
    else if (close == QLatin1String("press away")) {
        const auto [buttons, centre] = sheetCloseBox(m_frame->menuBar());
        queuePressAndReleaseElsewhere(buttons, centre, m_frame->statusBar());
    }
    else
        queueCloseShortcut(m_frame);
}

QTEST_MAIN(TestTransferProgress)
#include "test_transfer_progress.moc"
