// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include "engine_test_support.h"
#include "support/scripted_dialogs.h"
#include "fake_component.h"

#include <QTest>

using enginetest::entriesStartingWith;

namespace {

stru_smtp_login smtpLogin()
{
    stru_smtp_login smtp;
    smtp.host = "smtp.example.cn";
    smtp.port = 587;
    smtp.username = "user";
    smtp.password = "secret";
    smtp.smtpauth = true;
    return smtp;
}

stru_mail outgoing()
{
    stru_mail mail;
    mail.senderaddress = "me@example.cn";
    mail.sendername = "张三";
    mail.recipientaddress = "a@example.cn，b@example.cn";
    mail.subject = "测试邮件";
    mail.body = "hello";
    mail.attachment = {"/tmp/a.txt"};
    mail.returnreceipt = true;
    return mail;
}

// What follows the last property before "send": the log, close, release.
const QStringList kEnding{"Message.log", "Message.close()", "release Message"};

} // namespace

class TestEngineSendmail : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void callsTheComponentInOrder();
    void recipients_data();
    void recipients();
    void port_data();
    void port();
    void noLoginWithoutAuthentication();
    void body_data();
    void body();
    void attachments();
    void missingComponent();
    void logReplacedAfterEveryAttempt();
    void raisedErrorDuringSend();
    void raisedErrorBeforeSendStopsTheSend();
    void unreadableLog();

private:
    ScriptedDialogs *m_dialogs = nullptr;
};

void TestEngineSendmail::initTestCase()
{
    enginetest::registerComponentClasses(QStringLiteral(ORVEX_FAKE_COMPONENT));
}

void TestEngineSendmail::init()
{
    fake::reset();
    delete m_dialogs;
    m_dialogs = new ScriptedDialogs;
}

void TestEngineSendmail::callsTheComponentInOrder()
{
    n_orvex engine;
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), 1);
    const QStringList journal = fake::journal();
    // What the message carries reaches the component before it is sent.
    const QStringList fields{"Message.from=me@example.cn", "Message.fromname=张三", "Message.returnreceipt=true",
                             "Message.mailserverusername=user", "Message.mailserverpassword=secret"};
    for (const QString &set : fields) {
        const QString misplaced = enginetest::outOfOrder(journal, {set, "Message.send(smtp.example.cn:587)"});
        QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
    }
    const QString misplaced = enginetest::outOfOrder(journal, QStringList{"Message.send(smtp.example.cn:587)"} + kEnding);
    QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
    QCOMPARE(entriesStartingWith(journal, "Message.send").size(), 1);
    QCOMPARE(entriesStartingWith(journal, "release ").size(), 1);
    QCOMPARE(engine.is_log, QString("component log"));
    QVERIFY(m_dialogs->messageBoxes.isEmpty());
}

void TestEngineSendmail::recipients_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QString>("refused"); // the piece named when nothing is sent
    QTest::newRow("full-width comma") << "a@x.cn，b@y.cn" << QStringList{"a@x.cn", "b@y.cn"} << QString();
    QTest::newRow("ASCII comma") << "a@x.cn,b@y.cn" << QStringList{"a@x.cn", "b@y.cn"} << QString();
    QTest::newRow("both commas") << "a@x.cn，b@y.cn,c@z.cn" << QStringList{"a@x.cn", "b@y.cn", "c@z.cn"}
                                 << QString();
    QTest::newRow("semicolons") << "a@x.cn;b@y.cn；c@z.cn" << QStringList{"a@x.cn", "b@y.cn", "c@z.cn"}
                                << QString();
    QTest::newRow("trailing separator") << "a@x.cn; " << QStringList{"a@x.cn"} << QString();
    QTest::newRow("doubled comma") << "a@x.cn,,b@y.cn" << QStringList{"a@x.cn", "b@y.cn"} << QString();
    QTest::newRow("spaces kept") << " a@x.cn , b@y.cn" << QStringList{" a@x.cn ", " b@y.cn"} << QString();
    QTest::newRow("Chinese name in address") << "张三 <zs@x.cn>" << QStringList{"张三 <zs@x.cn>"} << QString();
    QTest::newRow("empty") << "" << QStringList{} << QString();
    // Separators inside quotes or brackets belong to a name or an address.
    QTest::newRow("comma in quoted name") << "\"Zhang, San\" <bob@x.cn>,c@z.cn"
                                          << QStringList{"\"Zhang, San\" <bob@x.cn>", "c@z.cn"} << QString();
    QTest::newRow("full-width comma in quoted name") << "\"张，三\" <zs@x.cn>，\"李\\\"四\" <ls@x.cn>"
                                                     << QStringList{"\"张，三\" <zs@x.cn>", "\"李\\\"四\" <ls@x.cn>"}
                                                     << QString();
    // A piece that is not exactly one address stops the whole send.
    QTest::newRow("word without @") << "a@x.cn,nobody" << QStringList{} << "nobody";
    QTest::newRow("spelled-out at") << "alice@x.cn,bob at y.cn" << QStringList{} << "bob at y.cn";
    QTest::newRow("two addresses, one piece") << "a@x.cn b@y.cn" << QStringList{} << "a@x.cn b@y.cn";
    QTest::newRow("two addresses in brackets") << "<a@x.cn,b@y.cn>" << QStringList{} << "<a@x.cn,b@y.cn>";
}

void TestEngineSendmail::recipients()
{
    QFETCH(QString, field);
    QFETCH(QStringList, added);
    QFETCH(QString, refused);
    stru_mail mail = outgoing();
    mail.recipientaddress = field;
    n_orvex engine;
    QCOMPARE(engine.of_sendmail(smtpLogin(), mail), refused.isEmpty() ? 1 : -1);
    QStringList expected;
    for (const QString &address : added)
        expected.append("Message.addrecipient(" + address + ")");
    QCOMPARE(entriesStartingWith(fake::journal(), "Message.addrecipient"), expected);
    // A well-formed list is sent whatever its addresses; the component judges.
    QCOMPARE(entriesStartingWith(fake::journal(), "Message.send").size(), refused.isEmpty() ? 1 : 0);
    QCOMPARE(engine.is_failure.kind, refused.isEmpty() ? engine::FailureKind::None : engine::FailureKind::Input);
    if (!refused.isEmpty()) {
        QVERIFY2(engine.is_failure.reason.contains("“" + refused + "”"), qPrintable(engine.is_failure.reason));
        QVERIFY2(engine.of_getlasterror().contains(engine.is_failure.reason), qPrintable(engine.is_log));
    }
    QVERIFY(m_dialogs->messageBoxes.isEmpty());
}

void TestEngineSendmail::port_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("server"); // empty: nothing is sent
    const QString host = QStringLiteral("smtp.example.cn");
    QTest::newRow("0 means 25") << host << 0 << "Message.send(smtp.example.cn:25)";
    QTest::newRow("587") << host << 587 << "Message.send(smtp.example.cn:587)";
    QTest::newRow("highest") << host << 65535 << "Message.send(smtp.example.cn:65535)";
    // A port written in the server field is used when none other is given.
    QTest::newRow("port in field") << "smtp.example.cn:587" << 0 << "Message.send(smtp.example.cn:587)";
    QTest::newRow("scheme and port in field") << "smtps://smtp.example.cn:465" << 0
                                              << "Message.send(smtps://smtp.example.cn:465)";
    QTest::newRow("smtps without port") << "smtps://smtp.example.cn" << 0 << "Message.send(smtps://smtp.example.cn:465)";
    QTest::newRow("same port twice") << "[::1]:2525" << 2525 << "Message.send([::1]:2525)";
    QTest::newRow("bare v6 address") << "::1" << 587 << "Message.send(::1:587)";
    QTest::newRow("contradiction") << "smtp.example.cn:587" << 25 << QString();
    QTest::newRow("port not a number") << "smtp.example.cn:x" << 0 << QString();
}

void TestEngineSendmail::port()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, server);
    stru_smtp_login smtp = smtpLogin();
    smtp.host = host;
    smtp.port = quint16(port);
    n_orvex engine;
    const int result = engine.of_sendmail(smtp, outgoing());
    QCOMPARE(entriesStartingWith(fake::journal(), "Message.send"),
             server.isEmpty() ? QStringList() : QStringList{server});
    if (server.isEmpty()) {
        QCOMPARE(result, -1);
        QVERIFY2(engine.is_log.startsWith(QStringLiteral("错误：服务器地址")), qPrintable(engine.is_log));
    }
}

void TestEngineSendmail::noLoginWithoutAuthentication()
{
    stru_smtp_login smtp = smtpLogin();
    smtp.smtpauth = false;
    n_orvex engine;
    QCOMPARE(engine.of_sendmail(smtp, outgoing()), 1);
    QCOMPARE(entriesStartingWith(fake::journal(), "Message.mailserver"), QStringList{});
}

void TestEngineSendmail::body_data()
{
    QTest::addColumn<bool>("html");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("sent");  // what the component is given
    // A plain text sent as HTML is wrapped in the page template.
    QTest::newRow("plain text as HTML") << true << "第一行\r\n第二行"
                                        << QString::fromUtf8(
                                                   "Message.htmlbody="
                                                   "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
                                                   "<HTML><HEAD>\r\n"
                                                   "<META http-equiv=Content-Type content=\"text/html; charset=gb2312\">\r\n"
                                                   "<META content=\"MSHTML 6.00.2900.3020\" name=GENERATOR></HEAD>"
                                                   "第一行<br>第二行</h2></body></html>");
    // A body that is a page already goes as it is.
    for (const auto &[name, page] : {std::pair{"page, upper case", "<HTML><BODY>a\r\nb</BODY></HTML>"},
                                     {"page, lower case", "<html><body>a\r\nb</body></html>"},
                                     {"page inside, mixed case", "前言 <HtMl>正文</hTmL>"}})
        QTest::newRow(name) << true << QString::fromUtf8(page) << "Message.htmlbody=" + QString::fromUtf8(page);
    // Not sent as HTML, tags are text.
    QTest::newRow("plain text with tags") << false << "<b>粗体</b>\r\n第二行" << "Message.body=<b>粗体</b>\r\n第二行";
}

void TestEngineSendmail::body()
{
    QFETCH(bool, html);
    QFETCH(QString, body);
    QFETCH(QString, sent);
    stru_mail mail = outgoing();
    mail.html = html;
    mail.body = body;
    n_orvex engine;
    QCOMPARE(engine.of_sendmail(smtpLogin(), mail), 1);
    QStringList bodies = entriesStartingWith(fake::journal(), "Message.body=");
    bodies += entriesStartingWith(fake::journal(), "Message.htmlbody=");
    QCOMPARE(bodies, QStringList{sent});
}

void TestEngineSendmail::attachments()
{
    stru_mail mail = outgoing();
    mail.attachment = {};
    n_orvex engine;
    QCOMPARE(engine.of_sendmail(smtpLogin(), mail), 1);
    QCOMPARE(entriesStartingWith(fake::journal(), "Message.addattachment"), QStringList{});

    fake::journal().clear();
    mail.attachment = {"/home/u/报告.doc", "/home/u/b c.pdf"};
    QCOMPARE(engine.of_sendmail(smtpLogin(), mail), 1);
    QCOMPARE(entriesStartingWith(fake::journal(), "Message.addattachment"),
             (QStringList{"Message.addattachment(/home/u/报告.doc, true)",
                          "Message.addattachment(/home/u/b c.pdf, true)"}));
}

void TestEngineSendmail::missingComponent()
{
    fake::script().refusedClasses = {"orvex.Message"};
    n_orvex engine;
    engine.is_log = "earlier log";
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), -1);
    QCOMPARE(fake::journal(), QStringList{"new orvex.Message"});
    QCOMPARE(m_dialogs->messageBoxes.size(), 1);
    QCOMPARE(m_dialogs->messageBoxes.first().title, QString("提示"));
    QCOMPARE(m_dialogs->messageBoxes.first().text, QString("请先注册orvex组件！"));
    QCOMPARE(engine.is_log, QString("earlier log"));
}

void TestEngineSendmail::logReplacedAfterEveryAttempt()
{
    n_orvex engine;
    fake::script().sendResult = false;
    fake::script().log = "550 mailbox unavailable";
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), -1);
    QCOMPARE(engine.of_getlasterror(), QString("550 mailbox unavailable"));
    QVERIFY(fake::journal().endsWith(kEnding.last()));

    fake::script().sendResult = true;
    fake::script().log = "250 OK";
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), 1);
    QCOMPARE(engine.of_getlasterror(), QString("250 OK"));

    // Another instance keeps its own log.
    n_orvex other;
    QCOMPARE(other.of_getlasterror(), QString(""));
    QVERIFY(m_dialogs->messageBoxes.isEmpty());
}

void TestEngineSendmail::raisedErrorDuringSend()
{
    fake::script().errors.insert("Message.send", "connection reset by peer");
    fake::script().log = "220 ready\r\nEHLO";
    n_orvex engine;
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), -1);
    // The component's log, then why the send failed.
    QCOMPARE(engine.is_log, QString("220 ready\r\nEHLO\n错误：“send”出错：connection reset by peer\n"));
    const QStringList journal = fake::journal();
    QCOMPARE(journal.mid(journal.indexOf("Message.send(smtp.example.cn:587)") + 1), kEnding);
    QVERIFY(m_dialogs->messageBoxes.isEmpty());
}

void TestEngineSendmail::raisedErrorBeforeSendStopsTheSend()
{
    // An attachment that cannot be added must not leave the message going
    // out without it.
    fake::script().errors.insert("Message.addattachment", "no such file");
    n_orvex engine;
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), -1);
    const QStringList journal = fake::journal();
    QCOMPARE(entriesStartingWith(journal, "Message.send"), QStringList{});
    QCOMPARE(journal.mid(journal.indexOf("Message.addattachment(/tmp/a.txt, true)") + 1), kEnding);
    QCOMPARE(engine.is_log, QString("component log\n错误：“addattachment”出错：no such file\n"));

    fake::reset();
    fake::script().errors.insert("Message.charset", "unknown charset");
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), -1);
    QCOMPARE(fake::journal(), (QStringList{"new orvex.Message", "Message.charset=gb2312"} + kEnding));
}

void TestEngineSendmail::unreadableLog()
{
    fake::script().errors.insert("Message.log", "no log");
    n_orvex engine;
    engine.is_log = "earlier log";
    QCOMPARE(engine.of_sendmail(smtpLogin(), outgoing()), 1);
    QVERIFY(engine.is_log.isNull());
    QCOMPARE(engine.of_getlasterror(), QString(""));
    QVERIFY(fake::journal().endsWith("release Message"));
}

QTEST_GUILESS_MAIN(TestEngineSendmail)
#include "tst_engine_sendmail.moc"
