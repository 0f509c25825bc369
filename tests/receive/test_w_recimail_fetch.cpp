// SPDX-License-Identifier: MIT
// The receive sheet against the real POP3 server of the test fixture:
// fetching into the list, the range, a refused logon, deleting on the
// server, and reading and saving what was fetched.
#include "engine/n_orvex.h"
#include "fixtures/mail_servers.h"
#include "scripted_pop3_server.h"
#include "htmlview/u_web_browser.h"
#include "receive/d_email_list.h"
#include "receive/w_recimail.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using testfiles::readFile;

namespace {

QByteArray plainMessage(const QByteArray &subject, const QByteArray &body = "Hello.\r\n")
{
    return "From: Alice <alice@example.cn>\r\n"
           "To: someone@example.cn\r\n"
           "Subject: " + subject + "\r\n"
           "Date: Tue, 03 Mar 2026 09:15:00 +0000\r\n"
           "Message-ID: <" + subject.toHex() + "@example.cn>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=us-ascii\r\n"
           "\r\n" + body;
}

// An HTML mail in Chinese to two recipients with two attachments.
QByteArray htmlMessageWithAttachments()
{
    return QByteArray(
        "From: =?UTF-8?B?5byg5LiJ?= <zhang@example.cn>\r\n"
        "To: x@example.cn, y@example.org\r\n"
        "Subject: =?UTF-8?B?5a2j5bqm5oql5ZGK?=\r\n"  // 季度报告
        "Date: Wed, 04 Mar 2026 18:30:00 +0800\r\n"
        "Message-ID: <report@example.cn>\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
        "\r\n"
        "--b1\r\n"
        "Content-Type: text/html; charset=UTF-8\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n")
           + QStringLiteral("<html><body><h2>季度报告</h2><p>请查看<b>附件</b>中的数据。</p></body></html>")
                 .toUtf8()
                 .toBase64()
           + "\r\n"
             "--b1\r\n"
             "Content-Type: text/plain; name=\"a.txt\"\r\n"
             "Content-Disposition: attachment; filename=\"a.txt\"\r\n"
             "\r\n"
             "first attachment\r\n"
             "--b1\r\n"
             "Content-Type: application/octet-stream; name=\"b.bin\"\r\n"
             "Content-Disposition: attachment; filename=\"b.bin\"\r\n"
             "Content-Transfer-Encoding: base64\r\n"
             "\r\n"
           + QByteArray("\x00\x01\x02second", 9).toBase64()
           + "\r\n"
             "--b1--\r\n";
}

} // namespace

class TestWRecimailFetch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_servers = TestServers::load();
        if (!m_servers)
            QFAIL(qPrintable(TestServers::unavailableReason()));
        qputenv("ORVEX_CA_FILE", m_servers->caFile().toLocal8Bit());
        // As at start-up: the component registers itself before any use.
        n_orvex registration;
        QVERIFY(registration.of_register());
    }
    void init()
    {
        QVERIFY(m_workDir.isValid());
        m_saveDir = QDir::currentPath();
        QDir::setCurrent(m_workDir.path());
        m_dialogs.reset();
        m_form = new w_recimail;
        m_form->show();
    }
    void cleanup()
    {
        delete m_form;
        QDir::setCurrent(m_saveDir);
    }

    void fetchListsEveryMessageAndSavesAttachmentsHere();
    void rangeFetchesThoseMessagesOnly();
    void refusedLogonFailsWithAnEmptyList();
    void emptyMailboxIsASuccess();
    void deleteAfterReadRemovesOnlyWhatWasFetched();
    void changedPasswordFetches();
    void attachmentFolderWithASemicolonStaysUsable();
    void unconfirmedEndListsTheMailWithAWarning();

private:
    template <typename T>
    T *child(const char *name) const
    {
        return m_form->findChild<T *>(QString::fromUtf8(name));
    }
    void logOnAs(const QString &user, const QString &password = QString());
    void fetch() { QTest::mouseClick(child<QPushButton>("cb_rev"), Qt::LeftButton); }
    QStringList subjects() const;
    void clickRow(int row);
    void deliver(const QString &user, const QList<QByteArray> &messages);

    std::optional<TestServers> m_servers;
    QTemporaryDir m_workDir;
    QString m_saveDir;
    ScriptedDialogs m_dialogs;
    w_recimail *m_form = nullptr;
};

void TestWRecimailFetch::logOnAs(const QString &user, const QString &password)
{
    child<QLineEdit>("sle_server")->setText(QStringLiteral("localhost"));
    child<QLineEdit>("sle_port")->setText(QString::number(m_servers->pop3Port()));
    child<QLineEdit>("sle_userid")->setText(user);
    child<QLineEdit>("sle_password")->setText(password.isNull() ? TestServers::password(user) : password);
}

QStringList TestWRecimailFetch::subjects() const
{
    QStringList topics;
    d_email_list *rows = m_form->mailList();
    for (long row = 1; row <= rows->rowCount(); ++row)
        topics << rows->item(row, QStringLiteral("topic")).toString();
    return topics;
}

void TestWRecimailFetch::clickRow(int row)
{
    auto *grid = child<QTableView>("dw_1");
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void TestWRecimailFetch::deliver(const QString &user, const QList<QByteArray> &messages)
{
    m_servers->clearMailbox(user);
    for (const QByteArray &raw : messages)
        m_servers->deliver(user, raw);
    QVERIFY(m_servers->waitForMessageCount(user, int(messages.size())));
}

void TestWRecimailFetch::fetchListsEveryMessageAndSavesAttachmentsHere()
{
    const QString user = QStringLiteral("user17");
    deliver(user, {plainMessage("first", "Line one <not a tag>\r\nLine two\r\n"), htmlMessageWithAttachments(),
                   plainMessage("third")});
    logOnAs(user);
    child<QCheckBox>("cbx_all")->setChecked(true);
    fetch();

    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("接收成功！")});
    QCOMPARE(subjects(), (QStringList{QStringLiteral("first"), QStringLiteral("季度报告"), QStringLiteral("third")}));
    d_email_list *rows = m_form->mailList();
    const QString here = QDir::currentPath() + QLatin1Char('/');
    QCOMPARE(rows->item(2, QStringLiteral("reciever")).toString(),
             QStringLiteral("x@example.cn;y@example.org;"));
    QCOMPARE(rows->item(2, QStringLiteral("attach")).toString(),
             here + QStringLiteral("a.txt;") + here + QStringLiteral("b.bin;"));
    QCOMPARE(rows->item(2, QStringLiteral("sender")).toString(), QStringLiteral("zhang@example.cn"));
    QCOMPARE(rows->item(1, QStringLiteral("attach")).toString(), QString());
    QCOMPARE(readFile(here + QStringLiteral("a.txt")).trimmed(), QByteArray("first attachment"));
    QCOMPARE(readFile(here + QStringLiteral("b.bin")), QByteArray("\x00\x01\x02second", 9));
    QCOMPARE(m_servers->messageFiles(user).size(), 3);

    auto *grid = child<QTableView>("dw_1");
    QCOMPARE(grid->model()->index(1, 3).data().toString(), QStringLiteral("2026-03-04"));

    // Reading the HTML mail, then the plain one.
    auto *view = child<u_web_browser>("ole_1");
    auto *attachments = child<QListWidget>("lb_attachments");
    clickRow(2);
    QCOMPARE(child<QLineEdit>("sle_subject")->text(), QStringLiteral("季度报告"));
    QCOMPARE(child<QLineEdit>("sle_from_email")->text(), QStringLiteral("zhang@example.cn"));
    QCOMPARE(child<QLineEdit>("sle_send_email")->text(), user + QStringLiteral("@localhost"));
    QVERIFY(view->toPlainText().contains(QStringLiteral("请查看附件中的数据。")));
    QCOMPARE(attachments->count(), 2);
    QCOMPARE(attachments->item(1)->text(), here + QStringLiteral("b.bin"));

    QTemporaryDir target;
    attachments->setCurrentRow(1);
    const QString kept = target.filePath(QStringLiteral("kept.bin"));
    m_dialogs.fileAnswers = {{1, kept}};
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts().last(), QStringLiteral("下载成功！"));
    QCOMPARE(readFile(kept), QByteArray("\x00\x01\x02second", 9));

    clickRow(1);
    const QString shown = view->toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
    QVERIFY2(shown.startsWith(QStringLiteral("Line one <not a tag>\nLine two")), qPrintable(shown));
    QVERIFY(!shown.contains(QStringLiteral("季度报告")));
    QCOMPARE(attachments->count(), 0);
}

void TestWRecimailFetch::rangeFetchesThoseMessagesOnly()
{
    const QString user = QStringLiteral("user18");
    QList<QByteArray> messages;
    for (int n = 1; n <= 6; ++n)
        messages << plainMessage("s" + QByteArray::number(n));
    deliver(user, messages);
    logOnAs(user);

    struct Case {
        int first;
        int second;
        bool all;
        QStringList expected;
    };
    const QList<Case> cases = {
        {5, 2, false, {"s2", "s3", "s4", "s5"}},
        {4, 4, false, {"s4"}},
        {5, 2, true, {"s1", "s2", "s3", "s4", "s5", "s6"}},
    };
    for (const Case &c : cases) {
        child<QSpinBox>("em_1")->setValue(c.first);
        child<QSpinBox>("em_2")->setValue(c.second);
        child<QCheckBox>("cbx_all")->setChecked(c.all);
        fetch();
        QCOMPARE(m_dialogs.texts().last(), QStringLiteral("接收成功！"));
        QCOMPARE(subjects(), c.expected);
    }
    QCOMPARE(m_servers->messageFiles(user).size(), 6);
}

void TestWRecimailFetch::refusedLogonFailsWithAnEmptyList()
{
    const QString user = QStringLiteral("user19");
    deliver(user, {plainMessage("kept")});
    logOnAs(user);
    fetch();
    QCOMPARE(subjects(), QStringList{QStringLiteral("kept")});

    child<QLineEdit>("sle_password")->setText(QStringLiteral("wrong-password"));
    child<QCheckBox>("cbx_deleteafterread")->setChecked(true);
    fetch();
    QCOMPARE(m_dialogs.texts(),
             (QStringList{QStringLiteral("接收成功！"), QStringLiteral("接收失败！")}));
    QVERIFY2(m_dialogs.details().value(1).contains(QStringLiteral("登录失败")), qPrintable(m_dialogs.details().value(1)));
    QVERIFY(!m_dialogs.details().value(1).contains(QStringLiteral("wrong-password")));
    QCOMPARE(m_form->mailList()->rowCount(), 0);
    QCOMPARE(m_servers->messageFiles(user).size(), 1);
}

void TestWRecimailFetch::emptyMailboxIsASuccess()
{
    const QString user = QStringLiteral("user20");
    deliver(user, {});
    logOnAs(user);
    // The port written into the server field, the port field at its
    // untouched default: the server field's port is the one meant.
    child<QLineEdit>("sle_server")->setText(QStringLiteral("pop3s://localhost:%1").arg(m_servers->pop3sPort()));
    child<QLineEdit>("sle_port")->setText(QStringLiteral("110"));
    child<QCheckBox>("cbx_all")->setChecked(true);
    fetch();
    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("接收成功！")});
    QCOMPARE(m_form->mailList()->rowCount(), 0);
}

void TestWRecimailFetch::deleteAfterReadRemovesOnlyWhatWasFetched()
{
    const QString user = QStringLiteral("user21");
    deliver(user, {plainMessage("d1"), plainMessage("d2"), plainMessage("d3")});
    logOnAs(user);
    child<QSpinBox>("em_1")->setValue(1);
    child<QSpinBox>("em_2")->setValue(2);
    child<QCheckBox>("cbx_deleteafterread")->setChecked(true);
    fetch();
    QCOMPARE(subjects(), (QStringList{QStringLiteral("d1"), QStringLiteral("d2")}));
    QVERIFY(m_servers->waitForMessageCount(user, 1));

    child<QCheckBox>("cbx_deleteafterread")->setChecked(false);
    child<QCheckBox>("cbx_all")->setChecked(true);
    fetch();
    QCOMPARE(subjects(), QStringList{QStringLiteral("d3")});
}

void TestWRecimailFetch::changedPasswordFetches()
{
    const QString user = QStringLiteral("user22");
    deliver(user, {plainMessage("by enter")});
    logOnAs(user, QString(""));
    child<QCheckBox>("cbx_all")->setChecked(true);
    auto *password = child<QLineEdit>("sle_password");
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    password->setFocus();
    QTest::keyClicks(password, TestServers::password(user));
    QTest::keyClick(password, Qt::Key_Return);
    QTRY_COMPARE(m_dialogs.texts(), QStringList{QStringLiteral("接收成功！")});
    QCOMPARE(subjects(), QStringList{QStringLiteral("by enter")});
}

void TestWRecimailFetch::attachmentFolderWithASemicolonStaysUsable()
{
    const QString folder = m_workDir.filePath(QStringLiteral("季度;报告"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir::setCurrent(folder));
    const QString user = QStringLiteral("user30");
    deliver(user, {htmlMessageWithAttachments()});
    logOnAs(user);
    child<QCheckBox>("cbx_all")->setChecked(true);
    fetch();
    QCOMPARE(m_dialogs.texts(), QStringList{QStringLiteral("接收成功！")});

    clickRow(1);
    auto *attachments = child<QListWidget>("lb_attachments");
    QCOMPARE(attachments->count(), 2);
    QCOMPARE(attachments->item(1)->text(), folder + QStringLiteral("/b.bin"));
    attachments->setCurrentRow(1);
    QTemporaryDir target;
    const QString kept = target.filePath(QStringLiteral("kept.bin"));
    m_dialogs.fileAnswers = {{1, kept}};
    QTest::mouseClick(child<QPushButton>("cb_addfile"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts().last(), QStringLiteral("下载成功！"));
    QCOMPARE(readFile(kept), QByteArray("\x00\x01\x02second", 9));
}

// Every message was read and saved, then the line went down at QUIT: the
// mail may be gone from the server, so it must not be hidden behind a
// failure.
void TestWRecimailFetch::unconfirmedEndListsTheMailWithAWarning()
{
    ScriptedPop3Server server;
    server.messages = {plainMessage("kept one"), plainMessage("kept two")};
    server.dropAtCommand = "QUIT";
    child<QLineEdit>("sle_server")->setText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>("sle_port")->setText(QString::number(server.listen()));
    child<QLineEdit>("sle_userid")->setText(QStringLiteral("someone"));
    child<QLineEdit>("sle_password")->setText(QString::fromUtf8(server.password));
    child<QCheckBox>("cbx_all")->setChecked(true);
    child<QCheckBox>("cbx_deleteafterread")->setChecked(true);
    fetch();
    QCOMPARE(subjects(), (QStringList{QStringLiteral("kept one"), QStringLiteral("kept two")}));
    QCOMPARE(m_dialogs.texts().size(), 1);
    QVERIFY2(m_dialogs.texts().at(0).contains(QStringLiteral("第 1 至 2 封邮件可能已在服务器上删除")),
             qPrintable(m_dialogs.texts().at(0)));
    QCOMPARE(server.count("DELE"), 2);
}

QTEST_MAIN(TestWRecimailFetch)
#include "test_w_recimail_fetch.moc"
