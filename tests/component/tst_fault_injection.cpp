// SPDX-License-Identifier: MIT
// Faults a mail server can throw at the client, against scripted servers on
// loopback: a line that breaks at each stage of a dialogue, a server that
// stalls, trickles or floods, replies that make no sense, never end or come
// out of turn, and certificates that do not verify. Sending and fetching go
// through the engine, as the windows drive them, with the real component;
// stalls and floods go through the component's objects directly, since only
// there can a test shorten the timeout and the size limit.
//
// Every case must end in a failure with a log that says why, well before
// any timeout that was not the point of the case, with no password in the
// log and, when fetching, nothing deleted on the server.
#include "engine/n_orvex.h"
#include "platform/automation_object.h"
#include "pop3_test_support.h"
#include "scripted_pop3_server.h"
#include "scripted_smtp_server.h"
#include "smtp_test_support.h"
#include "support/scripted_dialogs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

Q_DECLARE_METATYPE(ScriptedSmtpServer::Behaviour)

namespace {

const QString kUser = QStringLiteral("user01");
const QString kPassword = QStringLiteral("Pa55-secret-word");
// A transfer that fails because of the fault, not the engine's five-minute
// timeout, ends long before this.
constexpr qint64 kPromptMs = 30 * 1000;
constexpr int kShortTimeout = 2;

enum class Trust { Untrusted, Trusted };

// A certificate and key made by openssl for one name, valid for a day.
struct TestCertificate {
    QSslConfiguration server; // what the scripted server presents
    QString certificateFile;  // PEM, for ORVEX_CA_FILE
};

TestCertificate makeCertificate(const QString &folder, const QString &name, const QString &altNames)
{
    TestCertificate made;
    const QString key = folder + QLatin1Char('/') + name + QStringLiteral(".key");
    made.certificateFile = folder + QLatin1Char('/') + name + QStringLiteral(".pem");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=") + altNames, QStringLiteral("-keyout"),
                   key, QStringLiteral("-out"), made.certificateFile});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        qFatal("openssl could not make a certificate: %s", openssl.readAllStandardError().constData());
    QFile keyFile(key);
    if (!keyFile.open(QIODevice::ReadOnly))
        qFatal("the certificate's key is missing");
    made.server = QSslConfiguration::defaultConfiguration();
    made.server.setLocalCertificate(QSslCertificate::fromPath(made.certificateFile).value(0));
    made.server.setPrivateKey(QSslKey(&keyFile, QSsl::Ec));
    made.server.setPeerVerifyMode(QSslSocket::VerifyNone);
    return made;
}

// Names the extra CA file the component trusts, for the life of one case.
class TrustedCa {
public:
    explicit TrustedCa(const QString &file)
    {
        if (file.isEmpty())
            qunsetenv("ORVEX_CA_FILE");
        else
            qputenv("ORVEX_CA_FILE", QFile::encodeName(file));
    }
    ~TrustedCa() { qunsetenv("ORVEX_CA_FILE"); }
};

struct Outcome {
    int result = 0;
    QString log;
    qint64 elapsedMs = 0;
    qsizetype dialogs = 0;
};

Outcome sendThroughEngine(const QString &host, quint16 port, bool login)
{
    ScriptedDialogs dialogs;
    n_orvex engine;
    stru_smtp_login smtp;
    smtp.host = host;
    smtp.port = port;
    smtp.smtpauth = login;
    smtp.username = kUser;
    smtp.password = kPassword;
    stru_mail mail;
    mail.senderaddress = QStringLiteral("me@example.cn");
    mail.recipientaddress = QStringLiteral("you@example.cn");
    mail.subject = QStringLiteral("故障测试");
    mail.body = QStringLiteral("正文");
    QElapsedTimer clock;
    clock.start();
    Outcome outcome;
    outcome.result = engine.of_sendmail(smtp, mail);
    outcome.elapsedMs = clock.elapsed();
    outcome.log = engine.of_getlasterror();
    outcome.dialogs = dialogs.messageBoxes.size();
    return outcome;
}

Outcome fetchThroughEngine(const QString &host, quint16 port, QList<stru_mail> &mail)
{
    ScriptedDialogs dialogs;
    QTemporaryDir folder;
    n_orvex engine;
    stru_pop3_login pop3;
    pop3.host = host;
    pop3.port = port;
    pop3.username = kUser;
    pop3.password = kPassword;
    pop3.attachpath = folder.path();
    pop3.deleteafterread = true;
    QElapsedTimer clock;
    clock.start();
    Outcome outcome;
    outcome.result = engine.of_recimail(pop3, mail, QStringLiteral("0-0"));
    outcome.elapsedMs = clock.elapsed();
    outcome.log = engine.of_getlasterror();
    outcome.dialogs = dialogs.messageBoxes.size();
    return outcome;
}

QByteArray message(int number, const QByteArray &body = "body")
{
    return pop3test::crlf("From: a@example.com\nTo: b@example.com\nSubject: number " + QByteArray::number(number)
                          + "\n\n" + body + "\n");
}

bool receivedCommand(const QList<QByteArray> &lines, const QByteArray &verb)
{
    for (const QByteArray &line : lines) {
        if (line.toUpper().startsWith(verb))
            return true;
    }
    return false;
}

} // namespace

class TestFaultInjection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sendFailsCleanly_data();
    void sendFailsCleanly();
    void fetchFailsCleanlyAndDeletesNothing_data();
    void fetchFailsCleanlyAndDeletesNothing();
    void failedDeletionKeepsEveryMessage_data();
    void failedDeletionKeepsEveryMessage();
    void stalledSendEndsAtTheTimeout_data();
    void stalledSendEndsAtTheTimeout();
    void slowFetchEndsInTimeAndDeletesNothing_data();
    void slowFetchEndsInTimeAndDeletesNothing();
    void slowButSteadyMessageIsNoFault();
    void fetchEndsWhenTheProgramQuitsOrItsWindowCloses_data();
    void fetchEndsWhenTheProgramQuitsOrItsWindowCloses();
    void longLinesInsideAMessageAreNoFault();
    void refusedCramMd5IsFollowedByPlainInsideTls();

private:
    QTemporaryDir m_folder;
    TestCertificate m_localhost;    // names localhost and 127.0.0.1, trusted by nobody
    TestCertificate m_otherHost;    // names another host; trusted in the cases that use it
};

void TestFaultInjection::initTestCase()
{
    QVERIFY(m_folder.isValid());
    qunsetenv("ORVEX_CA_FILE");
    n_orvex engine;
    QVERIFY(engine.of_register());
    m_localhost = makeCertificate(m_folder.path(), QStringLiteral("localhost"),
                                  QStringLiteral("DNS:localhost,IP:127.0.0.1"));
    m_otherHost = makeCertificate(m_folder.path(), QStringLiteral("mail.other.example"),
                                  QStringLiteral("DNS:mail.other.example"));
}

void TestFaultInjection::sendFailsCleanly_data()
{
    QTest::addColumn<ScriptedSmtpServer::Behaviour>("behaviour");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("trustedCa");
    QTest::addColumn<QString>("expectedLog");
    QTest::addColumn<QByteArray>("neverReached"); // a command the server must not see

    const QString broken = QStringLiteral("连接中断");
    const QString badCertificate = QStringLiteral("证书未通过验证");
    auto row = [](const char *name, auto change, const QString &scheme, const QString &trusted,
                  const QString &expected, const QByteArray &neverReached) {
        ScriptedSmtpServer::Behaviour behaviour;
        behaviour.authMechanisms = "LOGIN";
        change(behaviour);
        QTest::newRow(name) << behaviour << scheme << trusted << expected << neverReached;
    };

    row("line dropped after the greeting", [](auto &b) { b.dropAtCommand = "EHLO"; }, QString(), QString(), broken,
        QByteArray("AUTH"));
    row("line dropped during AUTH", [](auto &b) { b.dropAtCommand = "AUTH-RESPONSE"; }, QString(), QString(), broken,
        QByteArray("MAIL"));
    row("line dropped at the recipients", [](auto &b) { b.dropAtCommand = "RCPT"; }, QString(), QString(), broken,
        QByteArray("DATA"));
    row("line dropped during DATA", [](auto &b) { b.dropAfterDataBytes = 1; }, QString(), QString(), broken,
        QByteArray("QUIT"));
    row("greeting without a code", [](auto &b) { b.greeting = "hello there\r\n"; }, QString(), QString(),
        QStringLiteral("不符合 SMTP 协议"), QByteArray("EHLO"));
    row("binary greeting", [](auto &b) { b.greeting = QByteArray("\0\xff\xfe\x80\r\n", 6); }, QString(), QString(),
        QStringLiteral("不符合 SMTP 协议"), QByteArray("EHLO"));
    row("multi-line reply changing its code",
        [](auto &b) { b.replies["EHLO"] = "250-scripted.example\r\n251-AUTH LOGIN\r\n250 8BITMIME\r\n"; }, QString(),
        QString(), QStringLiteral("前后不一致"), QByteArray("AUTH"));
    row("multi-line reply that never ends",
        [](auto &b) { b.replies["EHLO"] = QByteArray("250-more\r\n").repeated(5000); }, QString(), QString(),
        QStringLiteral("应答过长"), QByteArray("AUTH"));
    row("overlong reply line", [](auto &b) { b.replies["MAIL"] = "250 " + QByteArray(200 * 1024, 'x') + "\r\n"; },
        QString(), QString(), QStringLiteral("服务器发来的一行超过"), QByteArray("RCPT"));
    row("reply code out of any range", [](auto &b) { b.replies["RCPT"] = "999 what\r\n"; }, QString(), QString(),
        QStringLiteral("服务器拒绝了收件人"), QByteArray("DATA"));
    row("bare line feeds and a bad code after AUTH",
        [](auto &b) { b.replies["AUTH"] = "334 VXNlcm5hbWU6\n235-half\n"; }, QString(), QString(),
        QStringLiteral("错误"), QByteArray("MAIL"));
    row("STARTTLS with an unknown certificate", [this](auto &b) {
        b.offerStartTls = true;
        b.tls = m_localhost.server;
    }, QString(), QString(), badCertificate, QByteArray("AUTH"));
    row("implicit TLS with an unknown certificate", [this](auto &b) {
        b.implicitTls = true;
        b.tls = m_localhost.server;
    }, QStringLiteral("smtps://"), QString(), badCertificate, QByteArray("EHLO"));
    row("certificate for another host", [this](auto &b) {
        b.implicitTls = true;
        b.tls = m_otherHost.server;
    }, QStringLiteral("smtps://"), m_otherHost.certificateFile, badCertificate, QByteArray("EHLO"));
}

void TestFaultInjection::sendFailsCleanly()
{
    QFETCH(ScriptedSmtpServer::Behaviour, behaviour);
    QFETCH(QString, scheme);
    QFETCH(QString, trustedCa);
    QFETCH(QString, expectedLog);
    QFETCH(QByteArray, neverReached);
    TrustedCa trust(trustedCa);
    ScriptedSmtpServer server(behaviour);
    QVERIFY(server.listen(QHostAddress::LocalHost));

    const Outcome outcome = sendThroughEngine(scheme + QStringLiteral("127.0.0.1"), server.port(), true);

    QCOMPARE(outcome.result, -1);
    QVERIFY2(outcome.log.contains(expectedLog), qPrintable(outcome.log.left(4000)));
    QVERIFY2(!outcome.log.contains(QStringLiteral("邮件已发送")), qPrintable(outcome.log.left(4000)));
    QVERIFY(!outcome.log.contains(kPassword));
    QVERIFY2(outcome.elapsedMs < kPromptMs, qPrintable(QString::number(outcome.elapsedMs)));
    QCOMPARE(outcome.dialogs, 0);
    QVERIFY(!server.dataEnded);
    QVERIFY2(!receivedCommand(server.lines, neverReached), server.lines.join(" | ").left(2000).constData());
    // The password went out only where the dialogue got that far, and only
    // inside the AUTH exchange.
    for (const QByteArray &line : std::as_const(server.lines))
        QVERIFY(!line.contains(kPassword.toUtf8()));
}

void TestFaultInjection::fetchFailsCleanlyAndDeletesNothing_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("trustedCa");
    QTest::addColumn<QString>("expectedLog");
    QTest::addColumn<QByteArray>("neverReached");

    const QString broken = QStringLiteral("连接中断");
    const QString unrecognised = QStringLiteral("应答无法识别");
    const QString badCertificate = QStringLiteral("证书未通过验证");
    int i = 0;
    QTest::newRow("line dropped after the greeting") << i++ << QString() << QString() << broken << QByteArray("USER");
    QTest::newRow("line dropped at USER/PASS") << i++ << QString() << QString() << broken << QByteArray("STAT");
    QTest::newRow("line dropped during SASL") << i++ << QString() << QString() << broken << QByteArray("STAT");
    QTest::newRow("line dropped at STAT") << i++ << QString() << QString() << broken << QByteArray("RETR");
    QTest::newRow("line dropped during a retrieval") << i++ << QString() << QString() << broken << QByteArray("DELE");
    QTest::newRow("greeting without a status") << i++ << QString() << QString() << unrecognised << QByteArray("USER");
    QTest::newRow("binary greeting") << i++ << QString() << QString() << unrecognised << QByteArray("USER");
    QTest::newRow("count that is no number") << i++ << QString() << QString()
                                             << QStringLiteral("邮件数无法识别") << QByteArray("RETR");
    QTest::newRow("count far beyond the messages") << i++ << QString() << QString()
                                                   << QStringLiteral("no such message") << QByteArray("DELE");
    QTest::newRow("retrieval answered with nonsense") << i++ << QString() << QString() << unrecognised
                                                      << QByteArray("DELE");
    QTest::newRow("overlong greeting") << i++ << QString() << QString() << QStringLiteral("应答行超过")
                                       << QByteArray("USER");
    QTest::newRow("status line that never ends") << i++ << QString() << QString() << QStringLiteral("应答行超过")
                                          << QByteArray("RETR");
    QTest::newRow("STLS with an unknown certificate") << i++ << QString() << QString() << badCertificate
                                                      << QByteArray("USER");
    QTest::newRow("implicit TLS with an unknown certificate") << i++ << QStringLiteral("pop3s://") << QString()
                                                              << badCertificate << QByteArray("CAPA");
    QTest::newRow("certificate for another host") << i++ << QStringLiteral("pop3s://") << m_otherHost.certificateFile
                                                  << badCertificate << QByteArray("CAPA");
    // Without TLS, a refused CRAM-MD5 is not followed by a plain password.
    QTest::newRow("CRAM-MD5 refused on a plain line") << i++ << QString() << QString()
                                                      << QStringLiteral("已尝试的登录方式：CRAM-MD5）")
                                                      << QByteArray("AUTH PLAIN");
    const QString outOfStep = QStringLiteral("应答与命令错位");
    QTest::newRow("extra +OK after a message, no pipelining") << i++ << QString() << QString() << outOfStep
                                                               << QByteArray("DELE");
    QTest::newRow("extra +OK after a message, pipelined") << i++ << QString() << QString() << outOfStep
                                                           << QByteArray("DELE");
    // The failure names the server's own reason, not the line it then closed.
    QTest::newRow("mailbox fails to open after logon, -ERR unasked")
        << i++ << QString() << QString() << QStringLiteral("错误：服务器报告错误：[SYS/TEMP] Internal error")
        << QByteArray("RETR");
    QTest::newRow("STAT refused, then the line closed")
        << i++ << QString() << QString() << QStringLiteral("错误：无法读取邮箱状态：[SYS/TEMP] Internal error")
        << QByteArray("RETR");
}

void TestFaultInjection::fetchFailsCleanlyAndDeletesNothing()
{
    QFETCH(int, fault);
    QFETCH(QString, scheme);
    QFETCH(QString, trustedCa);
    QFETCH(QString, expectedLog);
    QFETCH(QByteArray, neverReached);
    TrustedCa trust(trustedCa);

    ScriptedPop3Server server;
    server.password = kPassword.toUtf8();
    server.messages = {message(1), message(2, QByteArray(30000, 'y')), message(3)};
    switch (fault) {
    case 0: server.dropAtCommand = "CAPA"; break;
    case 1: server.dropAtCommand = "PASS"; break;
    case 2:
        server.capabilities << "SASL PLAIN";
        server.dropAtCommand = "AUTH-RESPONSE";
        break;
    case 3: server.dropAtCommand = "STAT"; break;
    case 4: server.dropDuringRetr = 2; break;
    case 5: server.greeting = "hello there\r\n"; break;
    case 6: server.greeting = QByteArray("\0\xff+OK\r\n", 7); break;
    case 7: server.replies["STAT"] = "+OK lots of mail\r\n"; break;
    case 8: server.replies["STAT"] = "+OK 2000000000 90\r\n"; break;
    case 9: server.replies["RETR"] = "*OK here it comes\r\n"; break;
    case 10: server.greeting = "+OK " + QByteArray(1024 * 1024, 'g'); break;
    case 11: server.replies["STAT"] = "+OK 3 " + QByteArray(1024 * 1024, '9'); break;
    case 12:
        server.capabilities << "STLS";
        server.tls = m_localhost.server;
        break;
    case 13:
    case 14:
        server.implicitTls = true;
        server.tls = fault == 13 ? m_localhost.server : m_otherHost.server;
        break;
    case 15: server.capabilities << "SASL CRAM-MD5 PLAIN"; break;
    case 16:
    case 17:
        if (fault == 16)
            server.capabilities = {"USER"};
        server.afterMessage = "+OK\r\n";
        break;
    case 18:
        server.replies["PASS"] = "+OK Logged in.\r\n-ERR [SYS/TEMP] Internal error occurred.\r\n";
        server.dropAtCommand = "STAT";
        break;
    case 19:
        server.replies["STAT"] = "-ERR [SYS/TEMP] Internal error occurred.\r\n";
        server.dropAtCommand = "LIST";
        break;
    }
    const quint16 port = server.listen();

    QList<stru_mail> mail;
    const Outcome outcome = fetchThroughEngine(scheme + QStringLiteral("127.0.0.1"), port, mail);

    QCOMPARE(outcome.result, -1);
    QVERIFY2(outcome.log.contains(expectedLog), qPrintable(outcome.log.left(4000)));
    QVERIFY(!outcome.log.contains(kPassword));
    QVERIFY2(outcome.elapsedMs < kPromptMs, qPrintable(QString::number(outcome.elapsedMs)));
    QCOMPARE(outcome.dialogs, 0);
    QCOMPARE(server.count("DELE"), 0);
    QVERIFY2(!receivedCommand(server.commands, neverReached), server.commands.join(" | ").left(2000).constData());
    // Only messages that came whole are handed on.
    for (const stru_mail &record : std::as_const(mail)) {
        QVERIFY(record.subject.startsWith(QStringLiteral("number ")));
        if (record.subject == QStringLiteral("number 2"))
            QCOMPARE(record.body.trimmed().size(), 30000);
    }
}

void TestFaultInjection::failedDeletionKeepsEveryMessage_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("expectedLog");
    QTest::addColumn<int>("resets");  // RSET commands the server must see
    QTest::addColumn<int>("quits");   // QUIT commands the server must see
    QTest::addColumn<int>("result");  // the engine's

    const QString undone = QStringLiteral("已撤销本次的全部删除（RSET），第 1–3 封邮件都仍在服务器上");
    const QString unconfirmed = QStringLiteral("服务器没有确认退出（QUIT），第 1–3 封邮件可能仍在服务器上");
    int i = 0;
    // Messages 1 and 3 were marked: QUIT would delete them without RSET.
    QTest::newRow("DELE of one message refused") << i++ << undone << 1 << 1 << -1;
    // Then the line is closed without QUIT, so the server commits nothing.
    QTest::newRow("DELE refused, RSET refused too") << i++ << QStringLiteral("无法撤销删除") << 1 << 0 << -1;
    QTest::newRow("line dropped at DELE") << i++ << QStringLiteral("第 1–3 封邮件没有删除") << 0 << 0 << -1;
    // Whether the server deleted them is unknown: every record is handed
    // over, with the doubt.
    QTest::newRow("QUIT refused") << i++ << unconfirmed << 0 << 1 << n_orvex::kFetchedEndUnsure;
    QTest::newRow("line dropped at QUIT") << i++ << unconfirmed << 0 << 1 << n_orvex::kFetchedEndUnsure;
}

void TestFaultInjection::failedDeletionKeepsEveryMessage()
{
    // Everything was fetched, but the deletion asked for did not happen as a
    // whole: the fetch fails, and the log says which messages stay.
    QFETCH(int, fault);
    QFETCH(QString, expectedLog);
    QFETCH(int, resets);
    QFETCH(int, quits);
    QFETCH(int, result);
    ScriptedPop3Server server;
    server.password = kPassword.toUtf8();
    server.messages = {message(1), message(2), message(3)};
    switch (fault) {
    case 0: server.refuseDele = 2; break;
    case 1:
        server.refuseDele = 2;
        server.replies["RSET"] = "-ERR cannot\r\n";
        break;
    case 2: server.dropAtCommand = "DELE"; break;
    case 3: server.replies["QUIT"] = "-ERR not now\r\n"; break;
    case 4: server.dropAtCommand = "QUIT"; break;
    }
    const quint16 port = server.listen();

    QList<stru_mail> mail;
    const Outcome outcome = fetchThroughEngine(QStringLiteral("127.0.0.1"), port, mail);

    QCOMPARE(outcome.result, result);
    QCOMPARE(mail.size(), 3);
    QVERIFY2(outcome.log.contains(expectedLog), qPrintable(outcome.log));
    QVERIFY2(!outcome.log.contains(QStringLiteral("已在服务器上删除")), qPrintable(outcome.log));
    QVERIFY2(outcome.elapsedMs < kPromptMs, qPrintable(QString::number(outcome.elapsedMs)));
    QCOMPARE(outcome.dialogs, 0);
    QCOMPARE(server.count("RSET"), resets);
    QCOMPARE(server.count("QUIT"), quits);
}

void TestFaultInjection::stalledSendEndsAtTheTimeout_data()
{
    QTest::addColumn<ScriptedSmtpServer::Behaviour>("behaviour");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("expectedLog");

    const QString timedOut = QStringLiteral("超时（%1 秒）").arg(kShortTimeout);
    ScriptedSmtpServer::Behaviour auth;
    auth.authMechanisms = "LOGIN";
    auth.stallAtCommand = "AUTH-RESPONSE";
    QTest::newRow("during AUTH") << auth << QString() << timedOut;

    ScriptedSmtpServer::Behaviour recipients;
    recipients.stallAtCommand = "RCPT";
    QTest::newRow("at the recipients") << recipients << QString() << timedOut;

    ScriptedSmtpServer::Behaviour startTls;
    startTls.offerStartTls = true;
    startTls.tls = m_localhost.server;
    startTls.stallAtCommand = "STARTTLS";
    QTest::newRow("at STARTTLS") << startTls << QString() << timedOut;

    // Connected, but the TLS handshake never gets an answer.
    ScriptedSmtpServer::Behaviour handshake;
    handshake.greet = false;
    QTest::newRow("during the TLS handshake") << handshake << QStringLiteral("smtps://") << timedOut;
}

void TestFaultInjection::stalledSendEndsAtTheTimeout()
{
    QFETCH(ScriptedSmtpServer::Behaviour, behaviour);
    QFETCH(QString, scheme);
    QFETCH(QString, expectedLog);
    TrustedCa trust({});
    ScriptedSmtpServer server(behaviour);
    QVERIFY(server.listen(QHostAddress::LocalHost));

    smtptest::Outgoing mail;
    mail.from = QStringLiteral("me@example.cn");
    mail.recipients = {QStringLiteral("you@example.cn")};
    mail.subject = QStringLiteral("故障测试");
    mail.body = QStringLiteral("正文");
    mail.user = kUser;
    mail.password = kPassword;
    mail.timeout = kShortTimeout;
    QElapsedTimer clock;
    clock.start();
    const smtptest::SendResult result =
        smtptest::send(mail, scheme + QStringLiteral("127.0.0.1:%1").arg(server.port()));
    const qint64 elapsed = clock.elapsed();

    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(expectedLog), qPrintable(result.log));
    QVERIFY(!result.log.contains(kPassword));
    QVERIFY2(elapsed >= kShortTimeout * 1000 - 100 && elapsed < kShortTimeout * 1000 + 10000,
             qPrintable(QString::number(elapsed)));
    QVERIFY(!server.dataEnded);
}

void TestFaultInjection::slowFetchEndsInTimeAndDeletesNothing_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("fetchedWhole"); // messages fetched before the fault; -1: the logon fails
    QTest::addColumn<QString>("expectedLog");
    QTest::addColumn<bool>("atTheTimeout");

    const QString timedOut = QStringLiteral("超时（%1 秒）").arg(kShortTimeout);
    int i = 0;
    QTest::newRow("stalled at CAPA") << i++ << QString() << -1 << timedOut << true;
    QTest::newRow("stalled at PASS") << i++ << QString() << -1 << timedOut << true;
    QTest::newRow("stalled at STAT") << i++ << QString() << -1 << timedOut << true;
    QTest::newRow("stalled at STLS") << i++ << QString() << -1 << timedOut << true;
    QTest::newRow("stalled during the TLS handshake") << i++ << QStringLiteral("pop3s://") << -1 << timedOut << true;
    // The messages were fetched, but the deletion never gets an answer: it
    // must not be reported done, and without QUIT the server keeps them.
    QTest::newRow("stalled at DELE") << i++ << QString() << 2 << timedOut << true;
    // The deletions were taken, but whether the server commits them is
    // unknown: not reported done either.
    QTest::newRow("stalled at QUIT") << i++ << QString() << 2 << timedOut << true;
    // A byte now and then keeps every single wait short, but not the line.
    QTest::newRow("greeting trickled") << i++ << QString() << -1 << timedOut << true;
    QTest::newRow("message trickled") << i++ << QString() << 0 << QStringLiteral("发送数据过慢") << true;
    QTest::newRow("message without a size, flooding") << i++ << QString() << 0 << QStringLiteral("超过了接收上限")
                                                      << false;
}

void TestFaultInjection::slowFetchEndsInTimeAndDeletesNothing()
{
    QFETCH(int, fault);
    QFETCH(QString, scheme);
    QFETCH(int, fetchedWhole);
    QFETCH(QString, expectedLog);
    QFETCH(bool, atTheTimeout);
    TrustedCa trust({});
    ScriptedPop3Server server;
    server.password = kPassword.toUtf8();
    server.messages = {message(1, QByteArray(3000, 't')), message(2)};
    const QList<QByteArray> stalls = {"CAPA", "PASS", "STAT", "STLS", QByteArray(), "DELE", "QUIT"};
    const QByteArray stallAt = stalls.value(fault);
    server.stallAtCommand = stallAt;
    switch (fault) {
    case 3:
        server.capabilities << "STLS";
        server.tls = m_localhost.server;
        break;
    case 4: server.silentAtGreeting = true; break;
    case 7:
        server.greeting = "+OK " + QByteArray(56, 'g') + "\r\n";
        server.trickleAt = "GREETING";
        break;
    case 8:
        // 200 bytes a second.
        server.trickleAt = "RETR";
        server.trickleBytes = 20;
        break;
    case 9:
        server.listedSizes = {-1};
        server.floodRetr = 1;
        break;
    }
    const quint16 port = server.listen();

    QElapsedTimer clock;
    clock.start();
    pop3test::Mailbox mailbox;
    mailbox.object().setProperty(QStringLiteral("maxmessagesize"), 1024 * 1024);
    const bool connected =
        mailbox.connect(kUser, kPassword, scheme + QStringLiteral("127.0.0.1"), port, kShortTimeout);
    QCOMPARE(connected, fetchedWhole >= 0);
    bool deleted = false;
    if (connected) {
        QCOMPARE(mailbox.count(), 2);
        for (int n = 1; n <= fetchedWhole; ++n)
            QVERIFY(mailbox.fetch(n).ok);
        clock.restart();
        if (fetchedWhole < 2)
            QVERIFY(!mailbox.fetch(fetchedWhole + 1).ok);
        deleted = mailbox.deleteMessages();
        if (fetchedWhole == 2)
            QCOMPARE(deleted, stallAt == "QUIT");
    }
    const bool loggedOff = mailbox.disconnect();
    const qint64 elapsed = clock.elapsed();
    // Fetched messages are never reported deleted by a session that failed.
    QVERIFY(fetchedWhole <= 0 || !(deleted && loggedOff));
    const QString log = mailbox.log();

    QVERIFY2(log.contains(expectedLog), qPrintable(log.right(2000)));
    QVERIFY(!log.contains(kPassword));
    QVERIFY2((!atTheTimeout || elapsed >= kShortTimeout * 1000 - 100) && elapsed < kShortTimeout * 1000 + 10000,
             qPrintable(QString::number(elapsed)));
    QCOMPARE(server.count("QUIT"), stallAt == "QUIT" ? 1 : 0);
    if (fetchedWhole < 2)
        QCOMPARE(server.count("DELE"), 0);
}

// A server that keeps only hashed passwords offers CRAM-MD5 and refuses
// every password through it; inside TLS the password itself may go.
void TestFaultInjection::refusedCramMd5IsFollowedByPlainInsideTls()
{
    TrustedCa trust(m_localhost.certificateFile);
    ScriptedPop3Server server;
    server.password = kPassword.toUtf8();
    server.messages = {message(1)};
    server.capabilities << "SASL CRAM-MD5 PLAIN";
    server.implicitTls = true;
    server.tls = m_localhost.server;
    const quint16 port = server.listen();

    QList<stru_mail> mail;
    const Outcome outcome = fetchThroughEngine(QStringLiteral("pop3s://127.0.0.1"), port, mail);
    QCOMPARE(outcome.result, 1);
    QCOMPARE(mail.size(), 1);
    QCOMPARE(server.count("AUTH CRAM-MD5"), 1);
    QCOMPARE(server.count("AUTH PLAIN"), 1);
    QVERIFY2(outcome.log.contains(QStringLiteral("服务器拒绝了 CRAM-MD5 方式的登录，改用 PLAIN")),
             qPrintable(outcome.log));
    QVERIFY(!outcome.log.contains(kPassword));
}

void TestFaultInjection::fetchEndsWhenTheProgramQuitsOrItsWindowCloses_data()
{
    QTest::addColumn<QByteArray>("stallAt");
    QTest::addColumn<bool>("quits");  // else the window closes
    QTest::addColumn<QString>("expectedLog");
    // The session manager's logout: the application is told to quit.
    QTest::newRow("program quits during retrieval") << QByteArray("RETR") << true << QStringLiteral("程序正在退出");
    // The user closes the window that started the fetch (the component is
    // told to abandon it).
    QTest::newRow("window closed during retrieval") << QByteArray("RETR") << false << QStringLiteral("窗口已关闭");
    // The deletions were asked for but not committed: without QUIT they
    // never are.
    QTest::newRow("window closed during deletion") << QByteArray("DELE") << false << QStringLiteral("窗口已关闭");
    // Once QUIT went out the deletions may be committed: the message read
    // is handed over all the same, with the doubt.
    QTest::newRow("window closed at QUIT") << QByteArray("QUIT") << false << QStringLiteral("可能仍在服务器上");
}

void TestFaultInjection::fetchEndsWhenTheProgramQuitsOrItsWindowCloses()
{
    QFETCH(QByteArray, stallAt);
    QFETCH(bool, quits);
    QFETCH(QString, expectedLog);
    // Meanwhile the server went quiet.
    ScriptedPop3Server server;
    server.password = kPassword.toUtf8();
    server.messages = {message(1)};
    server.stallAtCommand = stallAt;
    const quint16 port = server.listen();
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        if (server.count(stallAt) == 0)
            return;
        user.stop();
        if (quits) {
            QCoreApplication::quit();
            return;
        }
        platform::AutomationObject other;
        QCOMPARE(other.connectToNewObject(QStringLiteral("orvex.POP3")), int(platform::kCreateOk));
        QVERIFY(other.invoke(QStringLiteral("abandon")));
    });
    user.start(20);

    Outcome outcome;
    QList<stru_mail> mail;
    QTimer::singleShot(0, this, [&] {
        outcome = fetchThroughEngine(QStringLiteral("127.0.0.1"), port, mail);
        QCoreApplication::quit();
    });
    QCoreApplication::exec();

    const bool atQuit = stallAt == "QUIT";
    QCOMPARE(outcome.result, atQuit ? n_orvex::kFetchedEndUnsure : -1);
    QCOMPARE(mail.size(), stallAt == "RETR" ? 0 : 1);
    QVERIFY2(outcome.log.contains(expectedLog), qPrintable(outcome.log));
    QVERIFY2(outcome.elapsedMs < kPromptMs, qPrintable(QString::number(outcome.elapsedMs)));
    QCOMPARE(server.count("QUIT"), atQuit ? 1 : 0);
    QCOMPARE(server.count("DELE"), stallAt == "RETR" ? 0 : 1);
}

void TestFaultInjection::slowButSteadyMessageIsNoFault()
{
    // 30 KB a second: the message takes longer than the timeout, but a
    // slow link is no fault.
    ScriptedPop3Server server;
    server.password = kPassword.toUtf8();
    server.messages = {message(1, QByteArray(100 * 1000, 's'))};
    server.trickleAt = "RETR";
    server.trickleBytes = 3000;
    const quint16 port = server.listen();

    pop3test::Mailbox mailbox;
    QVERIFY(mailbox.connect(kUser, kPassword, QStringLiteral("127.0.0.1"), port, kShortTimeout));
    QElapsedTimer clock;
    clock.start();
    const pop3test::FetchedMessage fetched = mailbox.fetch(1);
    QVERIFY2(fetched.ok, qPrintable(mailbox.log().right(2000)));
    QVERIFY(clock.elapsed() > kShortTimeout * 1000);
    QCOMPARE(fetched.body.trimmed().size(), 100 * 1000);
    QVERIFY(mailbox.disconnect());
}

void TestFaultInjection::longLinesInsideAMessageAreNoFault()
{
    // Lines far beyond the 998 characters mail should keep to are still
    // mail: the retrieval reads them whole instead of failing the fetch.
    const QByteArray longLine(3 * 1024 * 1024, 'z');
    ScriptedPop3Server server;
    server.password = kPassword.toUtf8();
    server.messages = {message(1, longLine), message(2)};
    const quint16 port = server.listen();

    QList<stru_mail> mail;
    const Outcome outcome = fetchThroughEngine(QStringLiteral("127.0.0.1"), port, mail);
    QVERIFY2(outcome.result == 1, qPrintable(outcome.log));
    QCOMPARE(mail.size(), 2);
    QCOMPARE(mail[0].body.trimmed().size(), longLine.size());
    QCOMPARE(server.count("DELE"), 2);
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_fault_injection.moc"
