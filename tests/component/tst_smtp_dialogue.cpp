// SPDX-License-Identifier: MIT
#include "network_namespace.h"
#include "scripted_smtp_server.h"
#include "smtp_test_support.h"
#include "support/test_files.h"

#include "component/html_plain_text.h"
#include "component/server_address.h"
#include "component/smtp_data_writer.h"
#include "component/text_charset.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace smtptest;

// The SMTP dialogue against scripted servers (a line that breaks, a server
// that stalls, one without TLS elsewhere, inside a network namespace of the
// test's own), and the rules for server addresses and charsets on their own.
class TestSmtpDialogue : public QObject {
    Q_OBJECT

private slots:
    void lineDroppedDuringDataFailsTheSend();
    void stalledServerFailsAfterTheTimeout_data();
    void stalledServerFailsAfterTheTimeout();
    void passwordNeedsTlsOffThisMachine_data();
    void passwordNeedsTlsOffThisMachine();
    void loginMechanisms_data();
    void loginMechanisms();
    void serverBeforeEsmtpGetsHelo();
    void endlessReplyLineIsRefused();
    void hostileAddressesAreRefusedBeforeSending_data();
    void hostileAddressesAreRefusedBeforeSending();
    void serverAddressForms_data();
    void serverAddressForms();
    void charsetRule_data();
    void charsetRule();
    void dataLinesBreakWithCrlfAndDoubleLeadingDots_data();
    void dataLinesBreakWithCrlfAndDoubleLeadingDots();
    void plainTextFromHtml_data();
    void plainTextFromHtml();

private:
    static Outgoing plainMail();
};

Outgoing TestSmtpDialogue::plainMail()
{
    Outgoing mail;
    mail.from = QStringLiteral("me@example.cn");
    mail.recipients = {QStringLiteral("you@example.cn")};
    mail.subject = QStringLiteral("测试邮件");
    mail.body = QStringLiteral("正文");
    mail.timeout = 20;
    return mail;
}

void TestSmtpDialogue::lineDroppedDuringDataFailsTheSend()
{
    ScriptedSmtpServer::Behaviour behaviour;
    behaviour.dropAfterDataBytes = 256 * 1024;
    ScriptedSmtpServer server(behaviour);
    QVERIFY(server.listen(QHostAddress::LocalHost));

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("big.bin"));
    testfiles::writeFile(path, QByteArray(4 * 1024 * 1024, 'x'));
    Outgoing mail = plainMail();
    mail.attachments = {path};
    const SendResult result = send(mail, QStringLiteral("127.0.0.1:%1").arg(server.port()));

    QVERIFY(!result.sent);
    QVERIFY(!server.dataEnded);
    QVERIFY2(result.log.contains(QStringLiteral("连接中断")), qPrintable(result.log));
    QVERIFY(!result.log.contains(QStringLiteral("邮件已发送")));
    QVERIFY(!result.log.contains(QStringLiteral("服务器可能已经收下了这封邮件")));
}

void TestSmtpDialogue::stalledServerFailsAfterTheTimeout_data()
{
    QTest::addColumn<bool>("greet");
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QString>("lastCommand");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("mayHaveArrived");  // the whole data with its final "." went out
    // A port that wants TLS from the first byte waits for the client to
    // speak, or answers with a TLS record: both get the hint.
    const QString tlsHint = QStringLiteral("该端口可能要求 TLS 直接连接，请写成 smtps://主机");
    QTest::newRow("silent from the start") << false << QByteArray() << QString() << tlsHint << "tls" << false;
    QTest::newRow("TLS record instead of a greeting")
            << true << QByteArray("\x15\x03\x03\x00\x02\x02\x46", 7) << QString() << tlsHint << "tls" << false;
    QTest::newRow("no answer to the data") << true << QByteArray() << QStringLiteral("<邮件数据")
                                           << QStringLiteral("超时（1 秒）") << "connection" << true;
}

void TestSmtpDialogue::stalledServerFailsAfterTheTimeout()
{
    QFETCH(bool, greet);
    QFETCH(QByteArray, greeting);
    QFETCH(QString, lastCommand);
    QFETCH(QString, said);
    QFETCH(QString, kind);
    QFETCH(bool, mayHaveArrived);
    ScriptedSmtpServer::Behaviour behaviour;
    behaviour.greet = greet;
    if (!greeting.isEmpty())
        behaviour.greeting = greeting;
    behaviour.answerEndOfData = false;
    ScriptedSmtpServer server(behaviour);
    QVERIFY(server.listen(QHostAddress::LocalHost));

    Outgoing mail = plainMail();
    mail.timeout = 1;
    QElapsedTimer clock;
    clock.start();
    const SendResult result = send(mail, QStringLiteral("127.0.0.1:%1").arg(server.port()));

    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(said), qPrintable(result.log));
    QVERIFY2(result.lastError.contains(said), qPrintable(result.lastError));
    QCOMPARE(result.failureKind, kind);
    if (!lastCommand.isEmpty())
        QVERIFY(result.log.contains(lastCommand));
    QCOMPARE(result.log.contains(QStringLiteral("服务器可能已经收下了这封邮件")), mayHaveArrived);
    // Far below the default of five minutes: the property bounded the wait.
    QVERIFY(clock.elapsed() < 60 * 1000);
}

void TestSmtpDialogue::passwordNeedsTlsOffThisMachine_data()
{
    QTest::addColumn<bool>("loopback");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("withLogin");
    QTest::addColumn<bool>("expectSent");
    QTest::newRow("this machine") << true << QString() << true << true;
    QTest::newRow("other address") << false << QString() << true << false;
    QTest::newRow("other address, plain text asked for") << false << QStringLiteral("smtp://") << true << true;
    QTest::newRow("other address, no login") << false << QString() << false << true;
}

void TestSmtpDialogue::passwordNeedsTlsOffThisMachine()
{
    QFETCH(bool, loopback);
    QFETCH(QString, scheme);
    QFETCH(bool, withLogin);
    QFETCH(bool, expectSent);

    QHostAddress address(QHostAddress::LocalHost);
    if (!loopback) {
        // A server elsewhere exists only inside a network namespace of this
        // test's own.
        NETTEST_RUN_INSIDE_OWN_NAMESPACE();
        address = QHostAddress(nettest::elsewhereAddress());
    }
    ScriptedSmtpServer server({});
    QVERIFY(server.listen(address));

    Outgoing mail = plainMail();
    if (withLogin) {
        mail.user = QStringLiteral("me");
        mail.password = QStringLiteral("Pa55-word");
    }
    const SendResult result =
        send(mail, QStringLiteral("%1%2:%3").arg(scheme, address.toString()).arg(server.port()));

    QCOMPARE(result.sent, expectSent);
    bool authSent = false;
    for (const QByteArray &line : std::as_const(server.lines))
        authSent = authSent || line.startsWith("AUTH");
    QCOMPARE(authSent, withLogin && expectSent);
    if (!expectSent) {
        QVERIFY2(result.log.contains(QStringLiteral("没有提供加密连接（TLS）")), qPrintable(result.log));
        QVERIFY(!result.log.contains(QStringLiteral("MAIL FROM")));
    }
    QVERIFY(!result.log.contains(mail.password.isEmpty() ? QStringLiteral("\x01") : mail.password));
}

void TestSmtpDialogue::loginMechanisms_data()
{
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<QByteArray>("chosen");
    QTest::addColumn<QList<QByteArray>>("responses"); // decoded, as the server must get them
    QTest::addColumn<QByteArray>("refusal");          // the server's answer to the last one; empty: welcome
    const QByteArray user = "张三@example.cn";
    const QByteArray password = "pä55 wörd";
    const QByteArray plain = QByteArray(1, '\0') + user + QByteArray(1, '\0') + password;
    QTest::newRow("plain") << QByteArray("LOGIN PLAIN") << QByteArray("PLAIN") << QList<QByteArray>{plain}
                           << QByteArray();
    QTest::newRow("login only") << QByteArray("LOGIN") << QByteArray("LOGIN") << QList<QByteArray>{user, password}
                                << QByteArray();
    // A server that quotes what it was sent back in its refusal.
    QTest::newRow("refusal quoting the response and password")
            << QByteArray("PLAIN") << QByteArray("PLAIN") << QList<QByteArray>{plain}
            << "535 5.7.8 no such login: " + plain.toBase64() + " (" + password + ")\r\n";
}

void TestSmtpDialogue::loginMechanisms()
{
    QFETCH(QByteArray, offered);
    QFETCH(QByteArray, chosen);
    QFETCH(QList<QByteArray>, responses);
    QFETCH(QByteArray, refusal);
    ScriptedSmtpServer::Behaviour behaviour;
    behaviour.authMechanisms = offered;
    if (!refusal.isEmpty())
        behaviour.replies.insert("AUTH-RESPONSE", refusal);
    ScriptedSmtpServer server(behaviour);
    QVERIFY(server.listen(QHostAddress::LocalHost));

    Outgoing mail = plainMail();
    mail.user = QStringLiteral("张三@example.cn");
    mail.password = QStringLiteral("pä55 wörd");
    const SendResult result = send(mail, QStringLiteral("127.0.0.1:%1").arg(server.port()));
    QCOMPARE(result.sent, refusal.isEmpty());
    for (const QString &shown : {result.log, result.lastError}) {
        QVERIFY2(!shown.contains(mail.password), qPrintable(shown));
        QVERIFY2(!shown.contains(QString::fromLatin1(responses.last().toBase64())), qPrintable(shown));
    }
    if (!refusal.isEmpty()) {
        QCOMPARE(result.failureKind, QStringLiteral("authentication"));
        QVERIFY2(result.lastError.contains(QStringLiteral("no such login: ********")), qPrintable(result.lastError));
        return;
    }

    const qsizetype auth = server.lines.indexOf("AUTH " + chosen);
    QVERIFY2(auth >= 0, qPrintable(result.log));
    for (qsizetype i = 0; i < responses.size(); ++i)
        QCOMPARE(QByteArray::fromBase64(server.lines.value(auth + 1 + i)), responses[i]);
    // Each answer is in the log only as a placeholder.
    QCOMPARE(result.log.count(QStringLiteral("C: ********")), responses.size());
    QVERIFY(!result.log.contains(mail.password));
}

void TestSmtpDialogue::serverBeforeEsmtpGetsHelo()
{
    ScriptedSmtpServer::Behaviour behaviour;
    behaviour.rejectEhlo = true;
    ScriptedSmtpServer server(behaviour);
    QVERIFY(server.listen(QHostAddress::LocalHost));

    const SendResult result = send(plainMail(), QStringLiteral("127.0.0.1:%1").arg(server.port()));
    QVERIFY2(result.sent, qPrintable(result.log));
    QVERIFY(server.dataEnded);
    QVERIFY(server.lines.size() >= 2);
    QVERIFY(server.lines[0].startsWith("EHLO "));
    QVERIFY(server.lines[1].startsWith("HELO "));
}

void TestSmtpDialogue::endlessReplyLineIsRefused()
{
    ScriptedSmtpServer::Behaviour behaviour;
    behaviour.greeting = "220 " + QByteArray(512 * 1024, 'x'); // and never a line break
    ScriptedSmtpServer server(behaviour);
    QVERIFY(server.listen(QHostAddress::LocalHost));

    const SendResult result = send(plainMail(), QStringLiteral("127.0.0.1:%1").arg(server.port()));
    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(QStringLiteral("服务器发来的一行超过")), qPrintable(result.log.left(2000)));
    QVERIFY(server.lines.isEmpty());
}

void TestSmtpDialogue::hostileAddressesAreRefusedBeforeSending_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("fromName");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("reason");
    const QString me = QStringLiteral("me@example.cn");
    const QString you = QStringLiteral("you@example.cn");
    const QString controls = QStringLiteral("控制字符");
    QTest::newRow("header line in a recipient") << me << QString()
                                                << "<\r\nX-Injected: 1\r\n<victim@example.com>" << controls;
    QTest::newRow("blank line in a recipient") << me << QString() << "you@example.cn\r\n\r\nbody" << controls;
    QTest::newRow("bare CR and a dot") << me << QString() << "you@example.cn\r.\r" << controls;
    QTest::newRow("line feed in the sender name") << me << "张三\nBcc: all@example.com" << you << controls;
    QTest::newRow("escape in the sender address") << "me@example.cn\x1b[2J" << QString() << you << controls;
    QTest::newRow("next-line control in a name") << me << QString() << QStringLiteral("名\u0085 <you@example.cn>")
                                                 << controls;
    QTest::newRow("recipient GMime cannot parse") << me << QString() << "Zhang San you@example.cn"
                                                  << QStringLiteral("无法识别");
    QTest::newRow("two recipients in one") << me << QString() << "a@example.cn, b@example.cn"
                                           << QStringLiteral("无法识别");
}

// Refused before the server is even reached: nothing could carry a line
// break into a header or a command.
void TestSmtpDialogue::hostileAddressesAreRefusedBeforeSending()
{
    QFETCH(QString, from);
    QFETCH(QString, fromName);
    QFETCH(QString, recipient);
    QFETCH(QString, reason);
    ScriptedSmtpServer server({});
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Outgoing mail = plainMail();
    mail.from = from;
    mail.fromName = fromName;
    mail.recipients = {recipient};

    const SendResult result = send(mail, QStringLiteral("127.0.0.1:%1").arg(server.port()));
    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(reason), qPrintable(result.log));
    // One line saying why, and no connection made.
    QCOMPARE(result.log.count(QLatin1Char('\n')), 1);
}

void TestSmtpDialogue::serverAddressForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("implicitTls");
    QTest::addColumn<bool>("plainRequested");
    QTest::newRow("plain") << "mail.example.cn:25" << true << "mail.example.cn" << 25 << false << false;
    QTest::newRow("port 0 means 25") << "mail.example.cn:0" << true << "mail.example.cn" << 25 << false << false;
    QTest::newRow("465 is TLS") << "mail.example.cn:465" << true << "mail.example.cn" << 465 << true << false;
    QTest::newRow("smtps on another port") << "smtps://mail.example.cn:2465" << true << "mail.example.cn" << 2465
                                           << true << false;
    QTest::newRow("smtps without port") << "smtps://mail.example.cn" << true << "mail.example.cn" << 465 << true
                                        << false;
    QTest::newRow("smtp asks for plain text") << "smtp://mail.example.cn:587" << true << "mail.example.cn" << 587
                                              << false << true;
    QTest::newRow("smtp wins over 465") << "SMTP://mail.example.cn:465" << true << "mail.example.cn" << 465 << false
                                        << true;
    QTest::newRow("v6 literal") << "[::1]:2525" << true << "::1" << 2525 << false << false;
    QTest::newRow("spaces around") << " mail.example.cn:25 " << true << "mail.example.cn" << 25 << false << false;
    QTest::newRow("no host") << ":25" << false << "" << 0 << false << false;
    QTest::newRow("port not a number") << "mail.example.cn:2x5" << false << "" << 0 << false << false;
    QTest::newRow("port too big") << "mail.example.cn:70000" << false << "" << 0 << false << false;
    QTest::newRow("line break in host") << "mail\r\nRCPT:25" << false << "" << 0 << false << false;
}

void TestSmtpDialogue::serverAddressForms()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QString error;
    const auto address = component::parseServerAddress(
        text, {QStringLiteral("smtps"), QStringLiteral("smtp"), 25, 465}, &error);
    QCOMPARE(address.has_value(), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QTEST(address->host, "host");
    QTEST(int(address->port), "port");
    QTEST(address->implicitTls, "implicitTls");
    QTEST(address->plainTextRequested, "plainRequested");
}

void TestSmtpDialogue::charsetRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("preferred");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("gb2312 text") << "中文" << QByteArray("gb2312") << QByteArray("gb2312")
                                 << QByteArray("\xD6\xD0\xCE\xC4");
    QTest::newRow("ascii") << "abc" << QByteArray("gb2312") << QByteArray("gb2312") << QByteArray("abc");
    // GBK has it, GB2312 does not: a GB2312 label would be a lie.
    QTest::newRow("gbk only") << "镕" << QByteArray("gb2312") << QByteArray("UTF-8") << QString("镕").toUtf8();
    QTest::newRow("euro sign") << "5€" << QByteArray("gb2312") << QByteArray("UTF-8") << QString("5€").toUtf8();
    QTest::newRow("utf-8 asked") << "中文" << QByteArray("utf-8") << QByteArray("UTF-8") << QString("中文").toUtf8();
    QTest::newRow("unknown charset") << "中文" << QByteArray("x-nonsense") << QByteArray("UTF-8")
                                     << QString("中文").toUtf8();
}

void TestSmtpDialogue::charsetRule()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, preferred);
    const component::EncodedText encoded = component::encodeText(text, preferred);
    QTEST(encoded.charset, "charset");
    QTEST(encoded.bytes, "bytes");
}

void TestSmtpDialogue::dataLinesBreakWithCrlfAndDoubleLeadingDots_data()
{
    // What GMime writes, in the pieces it writes it in, and what must go out.
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("LF lines") << QByteArrayList{"a\n.b\n..c\n"} << QByteArray("a\r\n..b\r\n...c\r\n");
    QTest::newRow("CRLF kept, lone CR kept") << QByteArrayList{"a\r\nb\rc\n"} << QByteArray("a\r\nb\rc\r\n");
    QTest::newRow("CR and LF in different pieces") << QByteArrayList{"a\r", "\nb\n"} << QByteArray("a\r\nb\r\n");
    QTest::newRow("dot at the start of the next piece") << QByteArrayList{"a\n", ".", "b\n"}
                                                          << QByteArray("a\r\n..b\r\n");
    QTest::newRow("dot after a line split across pieces") << QByteArrayList{"a", "b.\n", ".\n"}
                                                             << QByteArray("ab.\r\n..\r\n");
}

void TestSmtpDialogue::dataLinesBreakWithCrlfAndDoubleLeadingDots()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArray, sent);
    QByteArray out;
    component::SmtpDataWriter writer([&out](const QByteArray &chunk) {
        out += chunk;
        return true;
    });
    for (const QByteArray &piece : pieces)
        QVERIFY(writer.accept(piece.constData(), size_t(piece.size())));
    QVERIFY(writer.finish());
    QCOMPARE(out, sent + ".\r\n");
}

void TestSmtpDialogue::plainTextFromHtml_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("plain");
    // The page the program wraps a plain body in.
    QTest::newRow("wrapped body") << QStringLiteral(
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<HTML><HEAD>\r\n"
            "<META http-equiv=Content-Type content=\"text/html; charset=gb2312\">\r\n"
            "<META content=\"MSHTML 6.00.2900.3020\" name=GENERATOR></HEAD>第一行<br>第二行</h2></body></html>")
                                  << QStringLiteral("第一行\n第二行");
    QTest::newRow("blocks, white space, entities")
            << QStringLiteral("<style>p{}</style><h1>标题</h1>\n<p>一  段\n文字 &amp; &lt;符号&gt;&nbsp;&#20013;</p>"
                              "<ul><li>甲</li><li>乙</li></ul><div><div>深处</div></div><!-- 注释 -->")
            << QStringLiteral("标题\n一 段 文字 & <符号> 中\n甲\n乙\n深处");
    QTest::newRow("links") << QStringLiteral("见<a href=\"https://example.com/a?b=1&amp;c=2\">说明</a>，"
                                             "<a href=\"https://example.com\">https://example.com</a>、"
                                             "<a href=\"mailto:z@example.com\">z@example.com</a>"
                                             "<a href=\"#top\">顶部</a>")
                           << QStringLiteral("见说明 <https://example.com/a?b=1&c=2>，https://example.com、"
                                             "z@example.com顶部");
    QTest::newRow("preformatted, picture, table")
            << QStringLiteral("<pre>a  b\n  c</pre><img alt=\"图\" src=x.png><table><tr><td>1</td><td>2</td></tr>"
                              "<tr><td>3</td><td>4</td></tr></table>")
            << QStringLiteral("a  b\n  c\n图\n1 2\n3 4");
}

void TestSmtpDialogue::plainTextFromHtml()
{
    QFETCH(QString, html);
    QTEST(component::plainTextFromHtml(html), "plain");
}

QTEST_GUILESS_MAIN(TestSmtpDialogue)
#include "tst_smtp_dialogue.moc"
