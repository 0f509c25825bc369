// SPDX-License-Identifier: MIT
// The POP3 dialogue against a scripted server: broken lines, stalls,
// servers without TLS, and the bounds of pipelined read-ahead.
#include "component/pop3_client.h"
#include "network_namespace.h"
#include "pop3_test_support.h"
#include "scripted_pop3_server.h"

#include <QTest>

using pop3test::crlf;
using pop3test::FetchedMessage;
using pop3test::Mailbox;

namespace {

QByteArray numbered(int i, qsizetype bodySize = 40)
{
    return crlf("From: a@example.com\nSubject: number " + QByteArray::number(i) + "\n\n"
                + QByteArray(bodySize, 'x') + "\n.leading dot\n");
}

QList<QByteArray> numberedMessages(int n, qsizetype bodySize = 40)
{
    QList<QByteArray> messages;
    for (int i = 1; i <= n; ++i)
        messages << numbered(i, bodySize);
    return messages;
}

// Starts `server` and logs `mailbox` on to it as user "u".
bool logOn(Mailbox &mailbox, ScriptedPop3Server &server, int timeoutSeconds = 300)
{
    return mailbox.connect(QStringLiteral("u"), QStringLiteral("secret"), QStringLiteral("127.0.0.1"), server.listen(),
                           timeoutSeconds);
}

} // namespace

class TestPop3Scripted : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        pop3test::ensureRegistered();
    }

    void lineDroppedDuringRetrievalDeletesNothing()
    {
        ScriptedPop3Server server;
        server.messages = numberedMessages(3, 20000);
        server.dropDuringRetr = 2;
        
Mailbox mailbox;
        QVERIFY2(logOn(mailbox, server), qPrintable(mailbox.log()));
        QCOMPARE(mailbox.count(), 3);
        QVERIFY(mailbox.fetch(1).ok);
        const FetchedMessage broken = mailbox.fetch(2);
        QVERIFY(!broken.ok);
        QVERIFY2(broken.error.contains(QStringLiteral("第 2 封")), qPrintable(broken.error));
        QVERIFY(!mailbox.fetch(3).ok);
        QVERIFY(!mailbox.deleteMessages());
        mailbox.disconnect();

        QCOMPARE(server.count("DELE"), 0);
        QCOMPARE(server.count("QUIT"), 0);
        QVERIFY2(mailbox.log().contains(QStringLiteral("错误")), qPrintable(mailbox.log()));
    }

    void stalledServerTimesOut_data()
    {
        QTest::addColumn<bool>("atGreeting");
        QTest::addColumn<QString>("said");
        // A port that wants TLS from the first byte is silent too.
        QTest::newRow("no greeting") << true << QStringLiteral("该端口可能要求 TLS 直接连接，请写成 pop3s://主机");
        QTest::newRow("quiet in the middle of a message") << false << QStringLiteral("超时（1 秒）");
    }

    void stalledServerTimesOut()
    {
        QFETCH(bool, atGreeting);
        QFETCH(QString, said);
        ScriptedPop3Server server;
        server.messages = numberedMessages(2, 5000);
        server.silentAtGreeting = atGreeting;
        server.stallDuringRetr = 2;
        
Mailbox mailbox;
        const bool connected = logOn(mailbox, server, 1);
        if (atGreeting) {
            QVERIFY(!connected);
        } else {
            QVERIFY2(connected, qPrintable(mailbox.log()));
            QVERIFY(mailbox.fetch(1).ok);
            QVERIFY(!mailbox.fetch(2).ok);
            // Message 1 came whole, but the session is gone: nothing can be deleted.
            QVERIFY(!mailbox.deleteMessages());
        }
        mailbox.disconnect();
        QVERIFY2(mailbox.log().contains(said), qPrintable(mailbox.log()));
        QCOMPARE(server.count("DELE"), 0);
        QCOMPARE(server.count("QUIT"), 0);
    }

    void serverWithoutTlsOnLoopback()
    {
        ScriptedPop3Server loopback;
        loopback.capabilities = {"USER"};
        loopback.messages = numberedMessages(1);
        const quint16 loopbackPort = loopback.listen();
        {
            Mailbox mailbox;
            QVERIFY2(mailbox.connect(QStringLiteral("u"), QStringLiteral("secret"), QStringLiteral("127.0.0.1"),
                                     loopbackPort),
                     qPrintable(mailbox.log()));
            QCOMPARE(mailbox.fetch(1).subject, QStringLiteral("number 1"));
            QVERIFY(mailbox.disconnect());
            QVERIFY(mailbox.log().contains(QStringLiteral("C: PASS ********")));
        }
        // Unless TLS is required: then not even the user name goes out.
        ScriptedPop3Server plain;
        plain.capabilities = {"USER"};
        const quint16 plainPort = plain.listen();
        Mailbox strict;
        strict.object().setProperty(QStringLiteral("tls"), QStringLiteral("required"));
        QVERIFY(!strict.connect(QStringLiteral("u"), QStringLiteral("secret"), QStringLiteral("127.0.0.1"), plainPort));
        QVERIFY2(strict.log().contains(QStringLiteral("要求 TLS")), qPrintable(strict.log()));
        QCOMPARE(plain.count("USER"), 0);
    }

    void utf8ModeWhenOffered_data()
    {
        QTest::addColumn<QByteArray>("capability"); // added to the usual ones
        QTest::addColumn<QByteArray>("reply");      // to UTF8; empty: the usual "-ERR unknown command"
        QTest::addColumn<int>("utf8Commands");
        QTest::newRow("not offered") << QByteArray() << QByteArray() << 0;
        QTest::newRow("offered") << QByteArray("UTF8 USER") << QByteArray("+OK UTF8 enabled\r\n") << 1;
        QTest::newRow("offered, then refused") << QByteArray("UTF8") << QByteArray() << 1;
    }

    void utf8ModeWhenOffered()
    {
        QFETCH(QByteArray, capability);
        QFETCH(QByteArray, reply);
        QFETCH(int, utf8Commands);
        ScriptedPop3Server server;
        if (!capability.isEmpty())
            server.capabilities << capability;
        if (!reply.isEmpty())
            server.replies.insert("UTF8", reply);
        server.messages = numberedMessages(1);
        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, server), qPrintable(mailbox.log()));
        QCOMPARE(mailbox.fetch(1).subject, QStringLiteral("number 1"));
        QVERIFY(mailbox.disconnect());
        QCOMPARE(server.count("UTF8"), utf8Commands);
        // UTF-8 mode is asked for before logging on.
        if (utf8Commands)
            QVERIFY(server.commands.indexOf("UTF8") < server.commands.indexOf("USER u"));
    }

    void passwordNeverInClearToAServerElsewhere()
    {
        NETTEST_RUN_INSIDE_OWN_NAMESPACE();
        const QString elsewhere = nettest::elsewhereAddress();
        for (const bool askedForPlainText : {false, true}) {
            ScriptedPop3Server remote;
            remote.capabilities = {"USER"};
            remote.messages = numberedMessages(1);
            const quint16 port = remote.listen(QHostAddress(elsewhere));
            const QString host = (askedForPlainText ? QStringLiteral("pop3://") : QString()) + elsewhere;
            Mailbox mailbox;
            const bool connected = mailbox.connect(QStringLiteral("u"), QStringLiteral("secret"), host, port);
            QCOMPARE(connected, askedForPlainText);
            if (!askedForPlainText) {
                QVERIFY2(mailbox.log().contains(QStringLiteral("没有提供 TLS")), qPrintable(mailbox.log()));
                QCOMPARE(remote.count("USER"), 0);
                QCOMPARE(remote.count("PASS"), 0);
            }
            mailbox.disconnect();
        }
    }

    // Port 995 is POP3 over TLS from the first byte, written with pop3s://
    // or not; only pop3:// asks for plain text there. A plain server on it
    // shows which the client spoke: TLS fails its handshake before any
    // command. The port is free only inside a network namespace of the
    // test's own.
    void port995MeansTlsUnlessPlainTextIsAskedFor()
    {
        NETTEST_RUN_INSIDE_OWN_NAMESPACE();
        for (const bool askedForPlainText : {false, true}) {
            ScriptedPop3Server plain;
            plain.messages = numberedMessages(1);
            QCOMPARE(plain.listen(QHostAddress::LocalHost, 995), quint16(995));
            Mailbox mailbox;
            const QString host = (askedForPlainText ? QStringLiteral("pop3://") : QString()) + "127.0.0.1";
            QCOMPARE(mailbox.connect(QStringLiteral("u"), QStringLiteral("secret"), host, 995), askedForPlainText);
            QCOMPARE(mailbox.log().contains(QStringLiteral("127.0.0.1:995（TLS）")), !askedForPlainText);
            QCOMPARE(plain.count("CAPA"), askedForPlainText ? 1 : 0);
            mailbox.disconnect();
        }
    }

    void readAheadStopsAtTheLastMessageWanted_data()
    {
        QTest::addColumn<int>("lastWanted"); // 0: the caller named none
        QTest::addColumn<int>("fetched");    // messages 1 to this are asked for
        QTest::addColumn<int>("mostRetrieved");
        QTest::newRow("no last message named") << 0 << 3 << 3;
        QTest::newRow("range of five") << 5 << 5 << 5;
        QTest::newRow("range far beyond the window") << 300 << 3 << 3 + component::Pop3Client::kMaxReadAhead;
    }

    void readAheadStopsAtTheLastMessageWanted()
    {
        QFETCH(int, lastWanted);
        QFETCH(int, fetched);
        QFETCH(int, mostRetrieved);
        ScriptedPop3Server server;
        server.messages = numberedMessages(300);
        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, server), qPrintable(mailbox.log()));
        mailbox.object().setProperty(QStringLiteral("lastmessage"), lastWanted);
        for (int i = 1; i <= fetched; ++i)
            QCOMPARE(mailbox.fetch(i).subject, QStringLiteral("number %1").arg(i));
        QVERIFY(mailbox.deleteMessages());
        QVERIFY(mailbox.disconnect());

        QVERIFY(server.count("RETR") <= mostRetrieved);
        for (const QByteArray &command : server.commands) {
            if (command.startsWith("RETR"))
                QVERIFY2(command.mid(5).toInt() <= std::max(lastWanted, fetched), command.constData());
        }
        // Within the range, commands go out ahead of the replies.
        const QString log = mailbox.log();
        const bool pipelined = log.indexOf(QStringLiteral("C: RETR 2\n")) < log.indexOf(QStringLiteral("（邮件 1，"));
        QCOMPARE(pipelined, lastWanted > 1);
        // Read-ahead never counts as a retrieval.
        QCOMPARE(server.count("DELE"), fetched);
        QCOMPARE(server.commands.last(), QByteArray("QUIT"));
    }

    // Messages seen before (--only-new) are neither fetched nor read ahead;
    // a server without UIDL gives no ids, and the log says so.
    void skippedMessagesAreNeverRetrieved()
    {
        ScriptedPop3Server server;
        server.messages = numberedMessages(5);
        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, server), qPrintable(mailbox.log()));
        QCOMPARE(mailbox.object().invoke(QStringLiteral("uids")).value_or(QVariant()).toStringList(), QStringList());
        QVERIFY2(mailbox.log().contains(QStringLiteral("服务器不提供邮件的唯一标识（UIDL）")), qPrintable(mailbox.log()));
        mailbox.object().setProperty(QStringLiteral("lastmessage"), 5);
        mailbox.object().invoke(QStringLiteral("skipmessage"), {2});
        mailbox.object().invoke(QStringLiteral("skipmessage"), {3});
        for (int i : {1, 4, 5})
            QCOMPARE(mailbox.fetch(i).subject, QStringLiteral("number %1").arg(i));
        QVERIFY(mailbox.disconnect());
        QCOMPARE(server.count("RETR"), 3);
        QVERIFY(!server.commands.contains("RETR 2") && !server.commands.contains("RETR 3"));
        // Still read ahead past the skipped ones.
        const QString log = mailbox.log();
        QVERIFY(log.indexOf(QStringLiteral("C: RETR 5\n")) < log.indexOf(QStringLiteral("（邮件 4，")));
    }

    void largeMessagesAreNotReadAhead_data()
    {
        QTest::addColumn<qint64>("listedSize");
        QTest::newRow("10 MB") << qint64(10 * 1024 * 1024);
        // Twice this is more than a 64-bit count holds.
        QTest::newRow("2^62 bytes") << (qint64(1) << 62);
    }

    void largeMessagesAreNotReadAhead()
    {
        QFETCH(qint64, listedSize);
        ScriptedPop3Server server;
        server.messages = numberedMessages(10);
        // Megabytes, yet far less than listed: read in batches, its end must
        // not wait for bytes that never come (the short timeout makes such a
        // wait fail the fetch).
        server.messages[0] = numbered(1, 3 * 1024 * 1024);
        // The server says every message is that large: none of them may be
        // asked for before the caller wants it, and each still comes whole.
        for (int i = 0; i < 10; ++i)
            server.listedSizes << listedSize;
        Mailbox mailbox;
        QVERIFY(logOn(mailbox, server, 5));
        QVERIFY(mailbox.fetch(1).ok);
        QVERIFY(mailbox.fetch(2).ok);
        QCOMPARE(server.count("RETR"), 2);
        QVERIFY(mailbox.disconnect());
    }

    void requestsOutOfOrderAndRefusedMessages()
    {
        ScriptedPop3Server server;
        server.messages = numberedMessages(40);
        server.refuseRetr = 7;
        Mailbox mailbox;
        QVERIFY(logOn(mailbox, server));
        QCOMPARE(mailbox.fetch(5).subject, QStringLiteral("number 5"));
        QCOMPARE(mailbox.fetch(6).subject, QStringLiteral("number 6"));
        // 7 is refused by the server, read ahead or not: the session goes on.
        const FetchedMessage refused = mailbox.fetch(7);
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.contains(QStringLiteral("no such message")), qPrintable(refused.error));
        QCOMPARE(mailbox.fetch(2).subject, QStringLiteral("number 2"));
        QCOMPARE(mailbox.fetch(30).subject, QStringLiteral("number 30"));
        QCOMPARE(mailbox.fetch(6).subject, QStringLiteral("number 6"));
        const FetchedMessage beyond = mailbox.fetch(41);
        QVERIFY(!beyond.ok);
        QVERIFY(!beyond.error.isEmpty());
        QVERIFY(mailbox.deleteMessages());
        QVERIFY(mailbox.disconnect());
        QList<int> deleted;
        for (const QByteArray &command : server.commands) {
            if (command.startsWith("DELE "))
                deleted << command.mid(5).toInt();
        }
        QCOMPARE(deleted, (QList<int>{2, 5, 6, 30}));
    }

    void withoutPipeliningOneCommandAtATime()
    {
        ScriptedPop3Server server;
        server.capabilities = {"USER"};
        server.messages = numberedMessages(10);
        Mailbox mailbox;
        QVERIFY(logOn(mailbox, server));
        for (int i = 1; i <= 4; ++i)
            QCOMPARE(mailbox.fetch(i).subject, QStringLiteral("number %1").arg(i));
        QCOMPARE(server.count("RETR"), 4);
        QVERIFY(mailbox.deleteMessages());
        QVERIFY(mailbox.disconnect());
        QCOMPARE(server.count("DELE"), 4);
    }

    void listThatNeverEndsIsCutOff()
    {
        ScriptedPop3Server server;
        server.messages = numberedMessages(2);
        server.listWithoutEnd = true;
        Mailbox mailbox;
        QVERIFY(!logOn(mailbox, server));
        QVERIFY2(mailbox.log().contains(QStringLiteral("应答超过 1000000 行")), qPrintable(mailbox.log().right(500)));
        QCOMPARE(mailbox.count(), 0);
        QCOMPARE(server.count("RETR"), 0);
    }

    void messageFarLargerThanListedIsCutOff()
    {
        ScriptedPop3Server server;
        server.messages = {numbered(1), numbered(2, 17 * 1024 * 1024)};
        server.listedSizes = {100, 100};
        Mailbox mailbox;
        QVERIFY(logOn(mailbox, server));
        QVERIFY(mailbox.fetch(1).ok);
        QVERIFY(!mailbox.fetch(2).ok);
        QVERIFY2(mailbox.log().contains(QStringLiteral("远大于服务器报告的大小")), qPrintable(mailbox.log()));
        QVERIFY(!mailbox.deleteMessages());
        mailbox.disconnect();
        QCOMPARE(server.count("DELE"), 0);
        QCOMPARE(server.count("QUIT"), 0);
    }

    void emptyMailboxAndWrongPassword()
    {
        ScriptedPop3Server server;
        {
            Mailbox mailbox;
            QVERIFY(logOn(mailbox, server));
            QCOMPARE(mailbox.count(), 0);
            QVERIFY(!mailbox.fetch(1).ok);
            QVERIFY(mailbox.deleteMessages());
            QVERIFY(mailbox.disconnect());
            QCOMPARE(server.count("DELE"), 0);
        }
        ScriptedPop3Server strict;
        strict.messages = numberedMessages(2);
        // A server that quotes the password back in its refusal.
        strict.replies.insert("PASS", "-ERR [AUTH] no such login: u/wrong-secret-123\r\n");
        Mailbox mailbox;
        QVERIFY(!mailbox.connect(QStringLiteral("u"), QStringLiteral("wrong-secret-123"), QStringLiteral("127.0.0.1"),
                                 strict.listen()));
        QVERIFY(!mailbox.log().contains(QStringLiteral("wrong-secret-123")));
        QVERIFY(mailbox.log().contains(QStringLiteral("登录失败")));
        QCOMPARE(mailbox.count(), 0);
        QCOMPARE(strict.count("STAT"), 0);
    }
};

QTEST_MAIN(TestPop3Scripted)
#include "tst_pop3_scripted.moc"
