// SPDX-License-Identifier: MIT
// The receive sheet without a server: its form, the checks before a fetch,
// the range, the mail list, reading a listed message and saving its
// attachments.
#include "htmlview/u_web_browser.h"
#include "platform/layout_units.h"
#include "receive/d_email_list.h"
#include "receive/w_readmail.h"
#include "receive/w_recimail.h"
#include "support/control_kinds.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testfiles::readFile;
using testfiles::writeFile;

namespace {

struct Row {
    QString sender;
    QString topic;
    QDateTime sendtime;
    QString body;
    QString attach;
    bool html = false;
    QVariant ifread;
};

void addRow(d_email_list *rows, const Row &row)
{
    const long n = rows->appendEmptyRow();
    rows->setItem(n, QStringLiteral("topic"), row.topic);
    rows->setItem(n, QStringLiteral("sender"), row.sender);
    rows->setItem(n, QStringLiteral("sendtime"), row.sendtime);
    rows->setItem(n, QStringLiteral("body"), row.body);
    rows->setItem(n, QStringLiteral("attach"), row.attach);
    rows->setItem(n, QStringLiteral("ifread"), row.ifread);
    rows->setHtml(n, row.html);
}

// The control that owns `widget`: a spin box's inner edit, a view's
// viewport and the like count as the control itself.
// The permission bits of the folder or file at `path`.
int modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A spool folder as a run by process `pid` leaves it.
QString makeSpoolFolder(qint64 pid)
{
    const QString folder = QDir::temp().filePath(QStringLiteral("orvex-mail-%1-aBc123").arg(pid));
    QDir().mkpath(folder);
    writeFile(folder + QStringLiteral("/1"), "body");
    return folder;
}

QString controlName(QWidget *widget, QWidget *form)
{
    while (widget && widget->parentWidget() != form)
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QString();
}

} // namespace

class TestWRecimailForm : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_dialogs.reset();
        m_form = new w_recimail;
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
    }
    void cleanup()
    {
        delete m_form;
    }

    void controlsAreOfTheirKindAndStayPut();
    void opensReadyForThePassword();
    void overlapsFollowTheDesign();
    void tabVisitsTheControlsInTheirOrder();
    void rangeMasksTakeDigitsAndSpinWithinBounds();
    void receiveAllGreysOutTheRange();
    void rangeTextPutsTheSmallerNumberFirst_data();
    void rangeTextPutsTheSmallerNumberFirst();
    void checksClearTheListThenStopAtTheFirstEmptySetting_data();
    void checksClearTheListThenStopAtTheFirstEmptySetting();
    void changingThePasswordStartsAFetch();
    void listShowsNumberSenderSubjectAndDate();
    void clickingARowShowsThatMessageOnly();
    void clicksThatHitNoRowChangeNothing();
    void recipientIsTheLoginAtTheHostsDomain_data();
    void recipientIsTheLoginAtTheHostsDomain();
    void downloadNeedsASelectedAttachment();
    void downloadCopiesWhereTheUserChose();
    void downloadLeavesTheSourceIntactAndReportsFailures();
    void doubleClickDownloadsThatEntry();
    void doubleClickOrEnterOpensTheMessageInItsOwnWindow();

private:
    template <typename T>
    T *child(const char *name) const
    {
        T *found = m_form->findChild<T *>(QString::fromUtf8(name));
        if (!found)
            qWarning("no control %s", name);
        return found;
    }
    void clickRow(int row);
    void fillTwoMessages(const QString &firstAttach = QString());

    ScriptedDialogs m_dialogs;
    w_recimail *m_form = nullptr;
};

void TestWRecimailForm::controlsAreOfTheirKindAndStayPut()
{
    const QList<QWidget *> controls = m_form->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 42);
    QHash<QWidget *, QRect> placed;
    for (QWidget *control : controls) {
        QVERIFY2(controlIsOfItsNamesKind(control), qPrintable(control->objectName()));
        placed.insert(control, control->geometry());
    }
    // Nothing is laid out again when the window grows.
    m_form->resize(m_form->size() * 2);
    for (auto it = placed.cbegin(); it != placed.cend(); ++it)
        QCOMPARE(it.key()->geometry(), it.value());
}

void TestWRecimailForm::opensReadyForThePassword()
{
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    QTRY_COMPARE(QApplication::focusWidget(), child<QLineEdit>("sle_password"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("pw"));
    QCOMPARE(child<QLineEdit>("sle_password")->text(), QStringLiteral("pw"));
    QCOMPARE(child<QLineEdit>("sle_password")->echoMode(), QLineEdit::Password);

    auto *attachments = child<QListWidget>("lb_attachments");
    QCOMPARE(attachments->count(), 1);
    QCOMPARE(attachments->item(0)->text(), QString());
    QCOMPARE(child<QTableView>("dw_1")->model()->rowCount(), 0);
    QVERIFY(!child<QCheckBox>("cbx_all")->isChecked());
    QVERIFY(!child<QCheckBox>("cbx_deleteafterread")->isChecked());
    QVERIFY(child<QSpinBox>("em_1")->isEnabled() && child<QSpinBox>("em_2")->isEnabled());
    QCOMPARE(child<u_web_browser>("ole_1")->of_get_url(), QStringLiteral("about:"));
    QVERIFY(child<QLineEdit>("sle_from_email")->isReadOnly());
    QVERIFY(child<QLineEdit>("sle_sendtime")->isReadOnly());
    QVERIFY(!child<QLineEdit>("sle_subject")->isReadOnly());

    // A sheet's start removes the bodies of a run that ended without
    // removing them, and leaves those of a running one.
    QProcess ended;
    ended.start(QStringLiteral("true"));
    QVERIFY(ended.waitForStarted());
    const qint64 endedPid = ended.processId();
    QVERIFY(ended.waitForFinished());
    const QString abandoned = makeSpoolFolder(endedPid);
    const QString running = makeSpoolFolder(::getppid());
    { w_recimail another; }
    QVERIFY(!QFileInfo::exists(abandoned));
    QVERIFY(QFileInfo::exists(running));
    QDir(running).removeRecursively();
}

void TestWRecimailForm::overlapsFollowTheDesign()
{
    const auto topAt = [this](int xUnits, int yUnits) {
        const QPoint at(platform::unitsToPixelsX(xUnits), platform::unitsToPixelsY(yUnits));
        return controlName(m_form->childAt(at), m_form);
    };
    // The HTML view covers the plain-text body entirely.
    auto *body = child<QWidget>("mle_body");
    QCOMPARE(child<QWidget>("ole_1")->geometry(), body->geometry());
    for (const QPoint corner : {body->geometry().topLeft(), body->geometry().center(),
                                body->geometry().bottomRight()})
        QCOMPARE(controlName(m_form->childAt(corner), m_form), QStringLiteral("ole_1"));
    // Brought to the top: the second range mask over the right part of
    // "到", the sender field over "发送日期：", the fetch button over its box.
    QCOMPARE(topAt(1290, 90), QStringLiteral("em_2"));
    QCOMPARE(topAt(1230, 790), QStringLiteral("sle_from_email"));
    QCOMPARE(topAt(2100, 80), QStringLiteral("cb_rev"));
    // Otherwise the earlier control lies on top: the grid over its group box.
    QCOMPARE(topAt(100, 400), QStringLiteral("dw_1"));
}

void TestWRecimailForm::tabVisitsTheControlsInTheirOrder()
{
    // Every visible control in reading order, check boxes included; the
    // plain-text body hidden under the HTML view never.
    const QStringList expected = {
        QStringLiteral("cbx_deleteafterread"), QStringLiteral("em_1"),         QStringLiteral("em_2"),
        QStringLiteral("cbx_all"),             QStringLiteral("cb_rev"),       QStringLiteral("dw_1"),
        QStringLiteral("sle_from_email"),      QStringLiteral("sle_sendtime"), QStringLiteral("sle_send_email"),
        QStringLiteral("sle_subject"),         QStringLiteral("ole_1"),        QStringLiteral("cb_addfile"),
        QStringLiteral("lb_attachments"),      QStringLiteral("sle_server"),   QStringLiteral("sle_port"),
        QStringLiteral("sle_userid"),          QStringLiteral("sle_password"), QStringLiteral("mle_1"),
        QStringLiteral("cbx_deleteafterread"),
    };
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    child<QWidget>("cbx_deleteafterread")->setFocus();
    QStringList visited;
    for (int i = 0; i < int(expected.size()); ++i) {
        visited << controlName(QApplication::focusWidget(), m_form);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
}

void TestWRecimailForm::rangeMasksTakeDigitsAndSpinWithinBounds()
{
    auto *first = child<QSpinBox>("em_1");
    auto *second = child<QSpinBox>("em_2");
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    first->setFocus();
    first->selectAll();
    QTest::keyClicks(first, QStringLiteral("a-9x"));
    QCOMPARE(first->cleanText(), QStringLiteral("9"));
    first->selectAll();
    QTest::keyClicks(first, QStringLiteral("1234"));
    QCOMPARE(controlName(QApplication::focusWidget(), m_form), QStringLiteral("em_1"));
    // The fifth digit fills the mask and moves on to the next control.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_5);
    QCOMPARE(first->cleanText(), QStringLiteral("12345"));
    QCOMPARE(controlName(QApplication::focusWidget(), m_form), QStringLiteral("em_2"));

    second->setValue(1000);
    second->stepBy(1);
    QCOMPARE(second->value(), 1000);
    second->setValue(1);
    second->stepBy(-3);
    QCOMPARE(second->value(), 1);
    second->stepBy(2);
    QCOMPARE(second->value(), 3);
    first->stepBy(1);  // a typed number above 1000 spins back into the range
    QCOMPARE(first->value(), 1000);
}

void TestWRecimailForm::receiveAllGreysOutTheRange()
{
    auto *first = child<QSpinBox>("em_1");
    auto *second = child<QSpinBox>("em_2");
    first->setValue(3);
    second->setValue(7);
    QTest::mouseClick(child<QCheckBox>("cbx_all"), Qt::LeftButton);
    QVERIFY(!first->isEnabled() && !second->isEnabled());
    QCOMPARE(m_form->rangeText(), QStringLiteral("0-0"));
    QTest::mouseClick(child<QCheckBox>("cbx_all"), Qt::LeftButton);
    QVERIFY(first->isEnabled() && second->isEnabled());
    QCOMPARE(first->value(), 3);
    QCOMPARE(second->value(), 7);
}

void TestWRecimailForm::rangeTextPutsTheSmallerNumberFirst_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("range");
    QTest::newRow("5 and 2") << 5 << 2 << false << QStringLiteral("2-5");
    QTest::newRow("4 and 4") << 4 << 4 << false << QStringLiteral("4-4");
    QTest::newRow("3 and 7") << 3 << 7 << false << QStringLiteral("3-7");
    QTest::newRow("compared as numbers") << 10 << 9 << false << QStringLiteral("9-10");
    QTest::newRow("all ticked") << 5 << 2 << true << QStringLiteral("0-0");
}

void TestWRecimailForm::rangeTextPutsTheSmallerNumberFirst()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(bool, all);
    QFETCH(QString, range);
    child<QSpinBox>("em_1")->setValue(first);
    child<QSpinBox>("em_2")->setValue(second);
    child<QCheckBox>("cbx_all")->setChecked(all);
    QCOMPARE(m_form->rangeText(), range);
}

void TestWRecimailForm::checksClearTheListThenStopAtTheFirstEmptySetting_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("no host") << QString() << QString() << QString() << QStringLiteral("请输入pop3服务器地址！")
                             << QStringLiteral("sle_server");
    QTest::newRow("no login") << QStringLiteral("localhost") << QString() << QString()
                              << QStringLiteral("请输入pop3服务器登录名！") << QStringLiteral("sle_userid");
    QTest::newRow("no password") << QStringLiteral("localhost") << QStringLiteral("demo") << QString()
                                 << QStringLiteral("请输入pop3服务器登录密码！") << QStringLiteral("sle_password");
}

void TestWRecimailForm::checksClearTheListThenStopAtTheFirstEmptySetting()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    fillTwoMessages();
    child<QLineEdit>("sle_server")->setText(server);
    child<QLineEdit>("sle_userid")->setText(user);
    child<QLineEdit>("sle_password")->setText(password);
    child<QWidget>("sle_subject")->setFocus();

    QTest::mouseClick(child<QPushButton>("cb_rev"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts(), QStringList{message});
    QCOMPARE(m_dialogs.titles(), QStringList{QString()});
    QCOMPARE(m_form->mailList()->rowCount(), 0);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void TestWRecimailForm::changingThePasswordStartsAFetch()
{
    // With no host the fetch stops at its first check, which shows that it ran.
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    child<QLineEdit>("sle_server")->clear();
    auto *password = child<QLineEdit>("sle_password");
    password->setFocus();
    QTest::keyClick(password, Qt::Key_Return);
    QVERIFY(m_dialogs.texts().isEmpty());

    QTest::keyClicks(password, QStringLiteral("secret"));
    QTest::keyClick(password, Qt::Key_Return);
    QTRY_COMPARE(m_dialogs.texts(), QStringList{QStringLiteral("请输入pop3服务器地址！")});

    // Tabbing out of the changed field does the same; leaving it by any
    // other way than Tab or a click does not.
    password->setFocus();
    QTest::keyClicks(password, QStringLiteral("2"));
    QTest::keyClick(password, Qt::Key_Tab);
    QTRY_COMPARE(m_dialogs.texts().size(), 2);
    password->setFocus();
    QTest::keyClicks(password, QStringLiteral("3"));
    child<QWidget>("sle_subject")->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(m_dialogs.texts().size(), 2);

    // Clicking "收取" after a change fetches once, not twice: tabbing out
    // of the field afterwards does nothing.
    password->setFocus();
    QTest::mouseClick(child<QPushButton>("cb_rev"), Qt::LeftButton);
    QTest::keyClick(password, Qt::Key_Tab);
    QCoreApplication::processEvents();
    QCOMPARE(m_dialogs.texts().size(), 3);
}

void TestWRecimailForm::listShowsNumberSenderSubjectAndDate()
{
    auto *grid = child<QTableView>("dw_1");
    QAbstractItemModel *shown = grid->model();
    QCOMPARE(shown->columnCount(), 4);

    const QDateTime sent(QDate(2026, 3, 9), QTime(17, 5, 42));
    d_email_list *rows = m_form->mailList();
    addRow(rows, {QStringLiteral("a@x.cn"), QStringLiteral("已读"), sent, {}, {}, false, QVariant()});
    addRow(rows, {QStringLiteral("b@x.cn"), QStringLiteral("未读"), sent, {}, {}, false, 0});
    addRow(rows, {QStringLiteral("c@x.cn"), QStringLiteral("读过"), QDateTime(), {}, {}, false, 1});
    addRow(rows, {QStringLiteral("d@x.cn"), QStringLiteral("空值"), sent, {}, {}, false, QString()});
    QCOMPARE(shown->rowCount(), 4);
    for (int r = 0; r < 4; ++r)
        QCOMPARE(shown->index(r, 0).data().toString(), QString::number(r + 1));
    QCOMPARE(shown->index(1, 1).data().toString(), QStringLiteral("b@x.cn"));
    QCOMPARE(shown->index(1, 2).data().toString(), QStringLiteral("未读"));
    QCOMPARE(shown->index(0, 3).data().toString(), QStringLiteral("2026-03-09"));
    QCOMPARE(shown->index(2, 3).data().toString(), QString());
    QCOMPARE(shown->index(1, 2).data(Qt::ToolTipRole).toString(), QStringLiteral("未读"));
    // The date column ends inside the grid.
    QHeaderView *header = grid->horizontalHeader();
    QVERIFY(header->sectionViewportPosition(3) + header->sectionSize(3) <= grid->viewport()->width());

    const auto weight = [&](int r) { return shown->index(r, 2).data(Qt::FontRole).value<QFont>().weight(); };
    QCOMPARE(weight(0), QFont::Normal);
    QCOMPARE(weight(1), QFont::Bold);
    QCOMPARE(weight(2), QFont::Normal);
    QCOMPARE(weight(3), QFont::Normal);

    // Fetched messages are shown at once, and the same once their rows are
    // built. A list refilled while the rows it replaces are being built
    // shows only the new messages; a change meets the row it was made to.
    stru_mail fetched;
    fetched.subject = QStringLiteral("旧邮件");
    rows->reset();
    rows->appendMessages({fetched});
    rows->reset();
    fetched.subject = QStringLiteral("新邮件");
    fetched.attachment = {QStringLiteral("/tmp/a;b.pdf"), QStringLiteral("/tmp/c.pdf")};
    rows->appendMessages(QList<stru_mail>(5000, fetched));
    const QString joined = QStringLiteral("/tmp/a;b.pdf;/tmp/c.pdf;");
    QCOMPARE(rows->item(2, QStringLiteral("attach")).toString(), joined);
    QTRY_VERIFY(rows->bodiesWaitingForSpool() < 5000);
    QCOMPARE(shown->rowCount(), 5000);
    QCOMPARE(shown->index(0, 2).data().toString(), QStringLiteral("新邮件"));
    QCOMPARE(rows->item(2, QStringLiteral("attach")).toString(), joined);
    QCOMPARE(rows->attachmentPaths(2), fetched.attachment);
    rows->reset();
    rows->appendMessages({fetched, fetched});
    QVERIFY(rows->setItem(2, QStringLiteral("ifread"), 0));
    QCOMPARE(weight(0), QFont::Normal);
    QCOMPARE(weight(1), QFont::Bold);
}

void TestWRecimailForm::clickRow(int row)
{
    auto *grid = child<QTableView>("dw_1");
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, 2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void TestWRecimailForm::fillTwoMessages(const QString &firstAttach)
{
    d_email_list *rows = m_form->mailList();
    addRow(rows, {QStringLiteral("boss@corp.cn"), QStringLiteral("季度报告"),
                  QDateTime(QDate(2026, 1, 2), QTime(8, 3, 59)),
                  QStringLiteral("<html><body><h1>报告</h1><p>见<b>附件</b></p><table><tr><td>表格</td></tr></table>"
                                 "</body></html>"),
                  firstAttach, true, QVariant()});
    addRow(rows, {QStringLiteral("friend@home.cn"), QStringLiteral("plain"),
                  QDateTime(QDate(2026, 12, 31), QTime(23, 59)),
                  QStringLiteral("Hi <a@b.cn>,\r\nline two\r\n  indented & done"), QString(), false, QVariant()});
}

void TestWRecimailForm::clickingARowShowsThatMessageOnly()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("报告.pdf"));
    const QString b = dir.filePath(QStringLiteral("data.csv"));
    fillTwoMessages(a + QLatin1Char(';') + b + QLatin1Char(';'));
    child<QLineEdit>("sle_server")->setText(QStringLiteral("pop.corp.example.cn"));
    child<QLineEdit>("sle_userid")->setText(QStringLiteral("user17"));
    auto *view = child<u_web_browser>("ole_1");
    auto *attachments = child<QListWidget>("lb_attachments");
    auto *grid = child<QTableView>("dw_1");

    clickRow(1);
    QCOMPARE(child<QLineEdit>("sle_from_email")->text(), QStringLiteral("boss@corp.cn"));
    QCOMPARE(child<QLineEdit>("sle_send_email")->text(), QStringLiteral("user17@corp.example.cn"));
    QCOMPARE(child<QLineEdit>("sle_subject")->text(), QStringLiteral("季度报告"));
    // Shown from its beginning, the whole of it in the tooltip.
    QCOMPARE(child<QLineEdit>("sle_subject")->cursorPosition(), 0);
    QCOMPARE(child<QLineEdit>("sle_subject")->toolTip(), QStringLiteral("季度报告"));
    QCOMPARE(child<QLineEdit>("sle_sendtime")->text(), QStringLiteral("2026-01-02 08:03"));
    QVERIFY(child<QPlainTextEdit>("mle_body")->toPlainText().contains(QStringLiteral("<h1>报告</h1>")));
    QVERIFY(view->toPlainText().contains(QStringLiteral("报告")));
    QVERIFY(view->toPlainText().contains(QStringLiteral("表格")));
    QVERIFY(!view->toPlainText().contains(QStringLiteral("<b>")));
    QCOMPARE(attachments->count(), 2);
    QCOMPARE(attachments->item(0)->text(), a);
    QCOMPARE(attachments->item(1)->text(), b);
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(grid->selectionModel()->selectedRows().first().row(), 0);

    // The second message replaces the first entirely; its plain text keeps
    // its line breaks and shows angle brackets as text.
    clickRow(2);
    QCOMPARE(child<QLineEdit>("sle_from_email")->text(), QStringLiteral("friend@home.cn"));
    QCOMPARE(child<QLineEdit>("sle_sendtime")->text(), QStringLiteral("2026-12-31 23:59"));
    const QString shown = view->toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
    QCOMPARE(shown, QStringLiteral("Hi <a@b.cn>,\nline two\n  indented & done"));
    QVERIFY(!view->of_get_source().contains(QStringLiteral("表格")));
    QCOMPARE(attachments->count(), 0);
    QCOMPARE(grid->selectionModel()->selectedRows().first().row(), 1);

    // A long message is shown from its top. A file size limit plays a disk
    // that fills up while the spool writes it: the file holds only part of
    // the message, which is shown whole, from memory.
    rlimit fileSize{};
    ::getrlimit(RLIMIT_FSIZE, &fileSize);
    const rlimit full{2048, fileSize.rlim_max};
    ::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
    const long row = m_form->mailList()->appendEmptyRow();
    m_form->mailList()->setItem(row, QStringLiteral("body"), QStringLiteral("line\n").repeated(500) + "end");
    QTRY_COMPARE(m_form->mailList()->bodiesWaitingForSpool(), 0);
    ::setrlimit(RLIMIT_FSIZE, &fileSize);
    clickRow(3);
    QVERIFY(view->toPlainText().endsWith(QStringLiteral("line\nend")));
    QVERIFY(view->verticalScrollBar()->maximum() > 0);
    QCOMPARE(view->verticalScrollBar()->value(), 0);

    // The keyboard shows a message as a click does.
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(child<QLineEdit>("sle_from_email")->text(), QStringLiteral("friend@home.cn"));
    QCOMPARE(grid->selectionModel()->selectedRows().first().row(), 1);
    QTest::keyClick(grid, Qt::Key_Home);
    QCOMPARE(child<QLineEdit>("sle_subject")->text(), QStringLiteral("季度报告"));
    QCOMPARE(attachments->count(), 2);

    // The spool gives a body back exactly as it was given: a byte order
    // mark, a null, a noncharacter, and half of a surrogate pair too.
    const QString bodies[] = {
        QStringLiteral(u"\uFEFF报告 😀 ") + QChar(0) + QChar(0xFFFF) + QStringLiteral(" end"),
        QStringLiteral(u"半个字") + QChar(0xD83D) + QStringLiteral(" x ") + QChar(0xDE00),
    };
    QList<long> spooled;
    for (const QString &text : bodies) {
        spooled << m_form->mailList()->appendEmptyRow();
        m_form->mailList()->setItem(spooled.last(), QStringLiteral("body"), text);
        QTRY_COMPARE(m_form->mailList()->bodiesWaitingForSpool(), 0);
        QString error;
        QCOMPARE(m_form->mailList()->readBody(spooled.last(), &error), std::optional<QString>(text));
    }

    // The bodies are read from the spool, which only the user can enter; a
    // body gone from it is reported, never shown as an empty message.
    const QString spool = m_form->mailList()->spoolFolder();
    QCOMPARE(modeOf(spool), 0700);
    for (const QString &entry : QDir(spool).entryList(QDir::Files))
        QVERIFY(QFile::remove(QDir(spool).filePath(entry)));
    clickRow(2);
    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("无法读取邮件正文！")});
    for (const long r : std::as_const(spooled)) {
        QString error;
        QVERIFY(!m_form->mailList()->readBody(r, &error));
    }
}

void TestWRecimailForm::clicksThatHitNoRowChangeNothing()
{
    fillTwoMessages();
    clickRow(2);
    auto *grid = child<QTableView>("dw_1");
    const QString subject = child<QLineEdit>("sle_subject")->text();
    const QString page = child<u_web_browser>("ole_1")->toPlainText();

    QHeaderView *header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionPosition(2) + 10, 5));
    const QPoint belowLastRow(40, grid->viewport()->height() - 3);
    QVERIFY(!grid->indexAt(belowLastRow).isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, belowLastRow);
    m_form->dw_1_clicked(0);

    QCOMPARE(child<QLineEdit>("sle_subject")->text(), subject);
    QCOMPARE(child<u_web_browser>("ole_1")->toPlainText(), page);
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(grid->selectionModel()->selectedRows().first().row(), 1);
    QCOMPARE(grid->selectionModel()->selectedColumns().size(), 0);
}

void TestWRecimailForm::recipientIsTheLoginAtTheHostsDomain_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("recipient");
    QTest::newRow("dotted") << QStringLiteral("pop.example.com") << QStringLiteral("demo@example.com");
    QTest::newRow("no dot") << QStringLiteral("localhost") << QStringLiteral("demo@localhost");
    QTest::newRow("address") << QStringLiteral("127.0.0.1") << QStringLiteral("demo@0.0.1");
}

void TestWRecimailForm::recipientIsTheLoginAtTheHostsDomain()
{
    QFETCH(QString, host);
    QFETCH(QString, recipient);
    fillTwoMessages();
    child<QLineEdit>("sle_userid")->setText(QStringLiteral("demo"));
    child<QLineEdit>("sle_server")->setText(host);
    clickRow(1);
    QCOMPARE(child<QLineEdit>("sle_send_email")->text(), recipient);
    // Read at click time: a later change shows on the next click.
    child<QLineEdit>("sle_userid")->setText(QStringLiteral("other"));
    clickRow(2);
    QCOMPARE(child<QLineEdit>("sle_send_email")->text(), QString(recipient).replace(QStringLiteral("demo@"), QStringLiteral("other@")));
}

void TestWRecimailForm::downloadNeedsASelectedAttachment()
{
    auto *attachments = child<QListWidget>("lb_attachments");
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    attachments->setCurrentRow(0);  // the empty entry
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts(),
             (QStringList{QStringLiteral("请先选择一个附件！"), QStringLiteral("请先选择一个附件！")}));
    QVERIFY(m_dialogs.fileDialogs.isEmpty());
}

void TestWRecimailForm::downloadCopiesWhereTheUserChose()
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("附件.txt"));
    writeFile(saved, "attachment body");
    fillTwoMessages(saved + QLatin1Char(';'));
    clickRow(1);
    auto *attachments = child<QListWidget>("lb_attachments");
    attachments->setCurrentRow(0);
    const QString startDir = QDir::currentPath();
    m_dialogs.whileFileDialogOpen = [&] { QDir::setCurrent(dir.path()); };

    // Cancelled: nothing happens.
    m_dialogs.fileAnswers = {{0, QString()}};
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.fileDialogs.size(), 1);
    QCOMPARE(m_dialogs.fileDialogs.first().title, QStringLiteral("Select File To Save Attach"));
    QCOMPARE(m_dialogs.fileDialogs.first().proposedPath, saved);
    QCOMPARE(m_dialogs.fileDialogs.first().extension, QString());
    QCOMPARE(m_dialogs.fileDialogs.first().filter, QStringLiteral("All files,*.*"));
    QVERIFY(m_dialogs.texts().isEmpty());
    QCOMPARE(QDir::currentPath(), startDir);

    // Confirmed: copied, replacing a file the user chose to overwrite.
    const QString target = dir.filePath(QStringLiteral("copy.txt"));
    writeFile(target, "older and longer content");
    m_dialogs.fileAnswers = {{1, target}};
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("下载成功！")});
    QCOMPARE(m_dialogs.titles(), QStringList{QString()});
    QCOMPARE(readFile(target), QByteArray("attachment body"));
    QCOMPARE(QDir::currentPath(), startDir);
}

void TestWRecimailForm::downloadLeavesTheSourceIntactAndReportsFailures()
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("a.txt"));
    const QString gone = dir.filePath(QStringLiteral("gone.txt"));
    writeFile(saved, "keep me");
    fillTwoMessages(saved + QLatin1Char(';') + gone + QLatin1Char(';'));
    clickRow(1);
    auto *attachments = child<QListWidget>("lb_attachments");

    // The proposed name confirmed unchanged: the attachment stays as it is.
    attachments->setCurrentRow(0);
    m_dialogs.fileAnswers = {{1, saved}};
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("下载成功！")});
    QCOMPARE(readFile(saved), QByteArray("keep me"));

    // A copy that cannot be made says so instead of claiming success.
    m_dialogs.fileAnswers = {{1, dir.filePath(QStringLiteral("no/such/folder/a.txt"))}};
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts().last(), QStringLiteral("下载失败！"));
    QCOMPARE(readFile(saved), QByteArray("keep me"));

    // A saved file that has gone since the fetch: the user is told.
    attachments->setCurrentRow(1);
    const QString copy = dir.filePath(QStringLiteral("copy.txt"));
    m_dialogs.fileAnswers = {{1, copy}};
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts().last(), QStringLiteral("找不到附件文件：") + gone);
    QVERIFY(!QFile::exists(copy));
}

void TestWRecimailForm::doubleClickDownloadsThatEntry()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("one.txt"));
    const QString second = dir.filePath(QStringLiteral("two.txt"));
    writeFile(first, "1");
    writeFile(second, "2");
    fillTwoMessages(first + QLatin1Char(';') + second + QLatin1Char(';'));
    clickRow(1);
    auto *attachments = child<QListWidget>("lb_attachments");
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    m_dialogs.fileAnswers = {{1, out}};
    const QRect entry = attachments->visualItemRect(attachments->item(1));
    // A real double click: a click, then the second press as a double click.
    QTest::mouseClick(attachments->viewport(), Qt::LeftButton, {}, entry.center());
    QTest::mouseDClick(attachments->viewport(), Qt::LeftButton, {}, entry.center());
    QCOMPARE(m_dialogs.fileDialogs.size(), 1);
    QCOMPARE(m_dialogs.fileDialogs.first().proposedPath, second);
    QCOMPARE(readFile(out), QByteArray("2"));
}

QTEST_MAIN(TestWRecimailForm)
#include "test_w_recimail_form.moc"

void TestWRecimailForm::doubleClickOrEnterOpensTheMessageInItsOwnWindow()
{
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("报告.pdf"));
    writeFile(report, "pdf");
    fillTwoMessages(report + QLatin1Char(';'));
    m_form->mailList()->setItem(1, QStringLiteral("reciever"), QStringLiteral("a@corp.cn;b@corp.cn;"));
    auto *grid = child<QTableView>("dw_1");
    const auto windows = [this] { return m_form->findChildren<w_readmail *>(); };

    // A double click on the first row: its message in a window of its own.
    const QRect first = grid->visualRect(grid->model()->index(0, 2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(windows().size(), 1);
    w_readmail *window = windows().first();
    QVERIFY(window->isWindow() && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("季度报告"));
    QCOMPARE(window->size(),
             QSize(w_readmail::kDefaultWidth, w_readmail::kDefaultHeight)
                     .boundedTo(window->screen()->availableGeometry().size()));
    const auto field = [window](const char *name) {
        return window->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
    };
    QCOMPARE(field("sle_from_email"), QStringLiteral("boss@corp.cn"));
    QCOMPARE(field("sle_sendtime"), QStringLiteral("2026-01-02 08:03"));
    QCOMPARE(field("sle_recipients"), QStringLiteral("a@corp.cn; b@corp.cn"));
    QCOMPARE(field("sle_subject"), QStringLiteral("季度报告"));
    QVERIFY(window->findChild<u_web_browser *>()->toPlainText().contains(QStringLiteral("表格")));

    // "下载" there saves its attachment as the sheet's does.
    const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
    m_dialogs.fileAnswers = {{1, saved}};
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("cb_download")), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("下载成功！")});
    QCOMPARE(readFile(saved), QByteArray("pdf"));

    // Enter on the current row opens another one beside it.
    clickRow(2);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(windows().size(), 2);
    QPointer<w_readmail> second = windows().last();
    QCOMPARE(second->windowTitle(), QStringLiteral("plain"));
    QVERIFY(window->isVisible() && second->isVisible());
    QCOMPARE(child<QLineEdit>("sle_subject")->text(), QStringLiteral("plain"));

    // Closing the sheet closes them, and removes the bodies' spool, also
    // while bodies are still being written. The frame deletes a sheet that
    // closes: the spool's removal goes on without it.
    QTRY_VERIFY(QFileInfo(m_form->mailList()->spoolFolder()).isDir());
    stru_mail large;
    large.body = QStringLiteral("x").repeated(20000);
    m_form->mailList()->appendMessages(QList<stru_mail>(1000, large));
    QTRY_VERIFY(m_form->mailList()->bodiesWaitingForSpool() < 1000);
    QPointer<w_readmail> firstWindow = window;
    QPointer<w_recimail> sheet = m_form;
    m_form->setAttribute(Qt::WA_DeleteOnClose);
    m_form->close();
    QTRY_VERIFY(!firstWindow && !second && !sheet);
    m_form = nullptr;
    const QString spools = mail_spool::folderPrefix() + QString::number(QCoreApplication::applicationPid()) + "-*";
    QTRY_VERIFY(QDir::temp().entryList({spools}, QDir::Dirs).isEmpty());
}
