// SPDX-License-Identifier: MIT
// orvex-cli end to end against the real test servers: what `send` puts on
// the wire comes back through `fetch`, and `fetch --delete` removes exactly
// what it fetched.
#include "cli/cli_process.h"
#include "fixtures/mail_servers.h"
#include "support/test_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTest>

#include <sys/resource.h>
#include <sysexits.h>
#include <unistd.h>
#include <sys/stat.h>

using testfiles::readFile;
using testfiles::writeFile;

namespace {

// The whole stdout must be one JSON array.
QJsonArray jsonArray(const CliRun &run)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        qWarning("stdout is not a JSON array (%s): %s", qPrintable(error.errorString()), run.out.constData());
        return {};
    }
    return document.array();
}

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list << item.toString();
    return list;
}

QString localTimeText(const QDateTime &dateTime)
{
    return dateTime.toLocalTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
}

QByteArray rawMessage(int n, bool withDate)
{
    QByteArray raw = "From: Sender " + QByteArray::number(n) + " <sender" + QByteArray::number(n)
                     + "@example.com>\r\nTo: user26@localhost\r\nSubject: message " + QByteArray::number(n)
                     + "\r\nMessage-ID: <cli-" + QByteArray::number(n) + "@example.com>\r\n";
    if (withDate)
        raw += "Date: Mon, 07 Dec 2026 10:00:0" + QByteArray::number(n) + " +0000\r\n";
    return raw + "Content-Type: text/plain; charset=utf-8\r\n\r\nbody " + QByteArray::number(n) + "\r\n";
}

// The certificate the test servers show, by its SHA-256 fingerprint.
QString serverFingerprint(const TestServers &servers)
{
    const QByteArray pem = readFile(QFileInfo(servers.caFile()).absolutePath() + "/server.pem");
    const qsizetype begin = pem.indexOf("-----BEGIN CERTIFICATE-----");
    const qsizetype end = pem.indexOf("-----END CERTIFICATE-----");
    const QByteArray der = QByteArray::fromBase64(pem.mid(begin + 27, end - begin - 27).simplified().replace(' ', ""));
    return QString::fromLatin1(QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':'));
}

// A message as a sender's program writes it, with what a fetch must keep
// byte for byte: a line that starts with a dot (stuffed on the wire) and
// one that starts with "From " (quoted in an mbox).
QByteArray referencedMessage()
{
    return "From: Sender <sender@example.com>\r\nTo: user33@localhost\r\nCc: Copy <copy@example.com>\r\n"
           "Reply-To: answers@example.com\r\nMessage-ID: <m2@example.com>\r\nIn-Reply-To: <m1@example.com>\r\n"
           "Date: Mon, 07 Dec 2026 18:00:00 +0800\r\nSubject: raw\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nplain words\r\n.hidden dot\r\n"
           "From here on\r\n"
           "--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>html words, long enough</p>\r\n--b--\r\n";
}

} // namespace

class TestCliMail : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sendAndFetchRoundTrip();
    void schemesAndLineBreaks();
    void deleteRemovesOnlyWhatWasFetched();
    void failuresSayWhyWithTheirExitCode_data();
    void failuresSayWhyWithTheirExitCode();
    void usersFilesAndUnsavedMessagesAreKept();
    void rawCopiesHoldTheServersBytes_data();
    void rawCopiesHoldTheServersBytes();
    void onlyNewAcrossRuns();
    void tlsOptions_data();
    void tlsOptions();
    void passwordSources_data();
    void passwordSources();
    void passwordPromptOnATerminal();
    void failedOutputOrDiskDeletesNothing_data();
    void failedOutputOrDiskDeletesNothing();

private:
    std::optional<TestServers> m_servers;
    QProcessEnvironment m_environment;
};

void TestCliMail::initTestCase()
{
    m_servers = TestServers::load();
    if (!m_servers)
        QFAIL(qPrintable(TestServers::unavailableReason()));
    m_environment = cliEnvironment();
    m_environment.insert("ORVEX_CA_FILE", m_servers->caFile());
}

// Every option of both commands at once: STARTTLS with AUTH, a Chinese
// subject and sender name, an HTML body from a file, two attachments, a
// read receipt; then a fetch of exactly that message with deletion.
void TestCliMail::sendAndFetchRoundTrip()
{
    m_servers->clearMailbox("user23");
    m_servers->clearMailbox("user24");
    m_servers->clearMailbox("user31");
    m_servers->clearMailbox("user32");
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString body = work.filePath("body.html");
    writeFile(body, "<html><body>\n<p>你好，世界</p>\n</body></html>\n");
    const QString text = work.filePath("说明.txt");
    writeFile(text, "第一行\r\nsecond line\r\n");
    QByteArray binary;
    for (int i = 0; i < 300000; ++i)
        binary.append(char((i * 131) % 256));
    const QString data = work.filePath("data.bin");
    writeFile(data, binary);

    const CliRun send = runCli({"send", "--server", "localhost", "--port", QString::number(m_servers->smtpPort()),
                                "--user", "user23", "--password", "secret-user23", "--from", "user23@localhost",
                                "--from-name", "测试发件人", "--to", "user23@localhost；user24@localhost",
                                "--cc", "user31@localhost", "--bcc", "user32@localhost",
                                "--subject", "中文主题：往返测试", "--body-file", body, "--html", "--attach", text,
                                "--attach", data, "--receipt", "--log"},
                               m_environment);
    QVERIFY2(send.exitCode == 0, qPrintable(send.err));
    QVERIFY2(send.out.isEmpty(), send.out.constData());
    QVERIFY2(!send.err.trimmed().isEmpty(), "--log printed no transfer log");
    QVERIFY2(!send.err.contains("secret-user23"), qPrintable(send.err));

    QVERIFY(m_servers->waitForMessageCount("user23", 1));
    QVERIFY(m_servers->waitForMessageCount("user24", 1));
    QVERIFY(m_servers->waitForMessageCount("user31", 1));
    QVERIFY(m_servers->waitForMessageCount("user32", 1));
    const QByteArray raw = m_servers->messageContents("user23").value(0);
    QVERIFY2(raw.contains("Disposition-Notification-To"), raw.left(2000).constData());
    QVERIFY2(raw.contains("Cc: user31@localhost\r\n"), raw.left(2000).constData());
    QVERIFY2(!raw.contains("user32"), raw.left(2000).constData());  // Bcc stays out of the message

    // The server saw the login and TLS.
    bool seen = false;
    const QDir capture(m_servers->captureDir());
    for (const QString &name : capture.entryList({"*.eml"})) {
        if (readFile(capture.filePath(name)) != raw)
            continue;
        const QJsonObject envelope =
            QJsonDocument::fromJson(readFile(capture.filePath(name.chopped(4) + ".json"))).object();
        QCOMPARE(envelope.value("login").toString(), QStringLiteral("user23"));
        QVERIFY(envelope.value("tls").toBool());
        seen = true;
    }
    QVERIFY(seen);

    const QString saved = work.filePath("saved");
    QVERIFY(QDir().mkpath(saved));
    QProcessEnvironment environment = m_environment;
    environment.insert("ORVEX_PASSWORD", "secret-user23");
    const CliRun fetch = runCli({"fetch", "--server", "localhost", "--port", QString::number(m_servers->pop3Port()),
                                 "--user", "user23", "--range", "1-1", "--delete", "--attach-dir", saved, "--log"},
                                environment);
    QVERIFY2(fetch.exitCode == 0, qPrintable(fetch.err));
    QVERIFY2(!fetch.err.trimmed().isEmpty(), "--log printed no transfer log");
    QVERIFY2(!fetch.err.contains("secret-user23"), qPrintable(fetch.err));
    const QJsonArray mails = jsonArray(fetch);
    QCOMPARE(mails.size(), 1);
    const QJsonObject mail = mails.at(0).toObject();
    QCOMPARE(mail.value("senderaddress").toString(), QStringLiteral("user23@localhost"));
    QCOMPARE(mail.value("sendername").toString(), QStringLiteral("测试发件人"));
    QCOMPARE(strings(mail.value("recipientaddress1")),
             QStringList({"user23@localhost", "user24@localhost", "user31@localhost"}));
    QCOMPARE(strings(mail.value("cc")), QStringList{"user31@localhost"});
    QCOMPARE(mail.value("subject").toString(), QStringLiteral("中文主题：往返测试"));
    QVERIFY(mail.value("html").toBool());
    QVERIFY2(mail.value("body").toString().contains("<p>你好，世界</p>"), qPrintable(mail.value("body").toString()));

    const QStringList attachments = strings(mail.value("attachment"));
    QCOMPARE(attachments.size(), 2);
    QCOMPARE(QFileInfo(attachments.at(0)).absolutePath(), QFileInfo(saved).absoluteFilePath());
    QCOMPARE(QFileInfo(attachments.at(0)).fileName(), QStringLiteral("说明.txt"));
    QCOMPARE(readFile(attachments.at(0)), readFile(text));
    QCOMPARE(QFileInfo(attachments.at(1)).fileName(), QStringLiteral("data.bin"));
    QCOMPARE(readFile(attachments.at(1)), binary);

    // Sent a moment ago, in local time, to the second.
    const QString when = mail.value("maildatetime").toString();
    QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$").match(when).hasMatch(), qPrintable(when));
    const QDateTime sent = QDateTime::fromString(when, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
    QVERIFY2(qAbs(sent.secsTo(QDateTime::currentDateTime())) < 600, qPrintable(when));

    QVERIFY(m_servers->waitForMessageCount("user23", 0));
    QCOMPARE(m_servers->messageFiles("user24").size(), 1);
}

// Implicit TLS through the scheme prefixes on the other ports; a body whose
// lines end in LF and CR LF (given on the command line, or on stdin) goes out
// with CR LF only; attachments land in the current folder when no
// --attach-dir is given.
void TestCliMail::schemesAndLineBreaks()
{
    m_servers->clearMailbox("user25");
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString attachment = work.filePath("note.txt");
    writeFile(attachment, "note\n");
    const QString smtps = QString::number(m_servers->smtpsPort());

    const CliRun html = runCli({"send", "--server", "smtps://localhost", "--port", smtps, "--from",
                                "user25@localhost", "--to", "user25@localhost", "--subject", "html lines", "--body",
                                "第一行\n第二行\r\n第三行", "--html", "--attach", attachment},
                               m_environment);
    QVERIFY2(html.exitCode == 0, qPrintable(html.err));
    // The port may also be written in the server field.
    const CliRun plain = runCli({"send", "--server", "smtps://localhost:" + smtps, "--from",
                                 "user25@localhost", "--to", "user25@localhost", "--subject", "plain lines",
                                 "--body-file", "-"},
                                m_environment, QString(), "alpha\nbeta\r\ngamma\n");
    QVERIFY2(plain.exitCode == 0, qPrintable(plain.err));
    QVERIFY(m_servers->waitForMessageCount("user25", 2));
    for (const QByteArray &raw : m_servers->messageContents("user25"))
        QVERIFY2(!raw.contains("\r\r\n") && !raw.contains("\r\r"), raw.constData());

    const QString folder = work.filePath("here");
    QVERIFY(QDir().mkpath(folder));
    const CliRun fetch = runCli({"fetch", "--server", "pop3s://localhost", "--port",
                                 QString::number(m_servers->pop3sPort()), "--user", "user25", "--password",
                                 "secret-user25"},
                                m_environment, folder);
    QVERIFY2(fetch.exitCode == 0, qPrintable(fetch.err));
    QVERIFY2(fetch.err.isEmpty(), qPrintable(fetch.err));  // quiet on success, for cron jobs
    const QJsonArray mails = jsonArray(fetch);
    QCOMPARE(mails.size(), 2);

    const QJsonObject first = mails.at(0).toObject();
    QCOMPARE(first.value("subject").toString(), QStringLiteral("html lines"));
    QVERIFY(first.value("html").toBool());
    // The HTML template joins CR LF lines with <br>: every line break arrived
    // as CR LF.
    QVERIFY2(first.value("body").toString().contains("第一行<br>第二行<br>第三行"),
             qPrintable(first.value("body").toString()));
    QVERIFY2(first.value("text").toString().contains("第二行"), qPrintable(first.value("text").toString()));
    QCOMPARE(strings(first.value("attachment")), QStringList{QDir(folder).filePath("note.txt")});
    QCOMPARE(readFile(QDir(folder).filePath("note.txt")), QByteArray("note\n"));

    const QJsonObject second = mails.at(1).toObject();
    QVERIFY(!second.value("html").toBool());
    QVERIFY(strings(second.value("attachment")).isEmpty());
    const QString body = second.value("body").toString();
    QVERIFY2(body.contains("alpha\r\nbeta\r\ngamma") || body.contains("alpha\nbeta\ngamma"), qPrintable(body));
    QCOMPARE(m_servers->messageFiles("user25").size(), 2);  // nothing deleted without --delete
}

void TestCliMail::deleteRemovesOnlyWhatWasFetched()
{
    m_servers->clearMailbox("user26");
    for (int n = 1; n <= 4; ++n)
        m_servers->deliver("user26", rawMessage(n, n != 2));
    QTemporaryDir work;
    QVERIFY(work.isValid());

    const CliRun fetch = runCli({"fetch", "--server", "localhost", "--port", QString::number(m_servers->pop3Port()),
                                 "--user", "user26", "--password", "secret-user26", "--range", "2-3", "--delete"},
                                m_environment, work.path());
    QVERIFY2(fetch.exitCode == 0, qPrintable(fetch.err));
    const QJsonArray mails = jsonArray(fetch);
    QCOMPARE(mails.size(), 2);
    const QJsonObject undated = mails.at(0).toObject();
    QCOMPARE(undated.value("subject").toString(), QStringLiteral("message 2"));
    QCOMPARE(undated.value("sendername").toString(), QStringLiteral("Sender 2"));
    QCOMPARE(undated.value("senderaddress").toString(), QStringLiteral("sender2@example.com"));
    QCOMPARE(strings(undated.value("recipientaddress1")), QStringList{"user26@localhost"});
    QVERIFY2(undated.contains("maildatetime") && undated.value("maildatetime").isNull(),
             qPrintable(undated.value("maildatetime").toVariant().toString()));
    const QJsonObject dated = mails.at(1).toObject();
    QCOMPARE(dated.value("subject").toString(), QStringLiteral("message 3"));
    QCOMPARE(dated.value("maildatetime").toString(),
             localTimeText(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 3), Qt::UTC)));

    QVERIFY(m_servers->waitForMessageCount("user26", 2));
    const QList<QByteArray> left = m_servers->messageContents("user26");
    QCOMPARE(left.size(), 2);
    QVERIFY(left.at(0).contains("Subject: message 1\r\n"));
    QVERIFY(left.at(1).contains("Subject: message 4\r\n"));

    // The rest, with the default range.
    const CliRun rest = runCli({"fetch", "--server", "localhost", "--port", QString::number(m_servers->pop3Port()),
                                "--user", "user26", "--password", "secret-user26"},
                               m_environment, work.path());
    QVERIFY2(rest.exitCode == 0, qPrintable(rest.err));
    QCOMPARE(jsonArray(rest).size(), 2);
}

// Every failure says why on stderr, without --log too, and ends with the
// exit code of its kind; nothing is sent or deleted. A registry that cannot
// be written is no failure: the run goes on and says so once.
void TestCliMail::failuresSayWhyWithTheirExitCode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("trustTestCa");
    QTest::addColumn<bool>("unwritableConfig");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");

    const QString smtp = QString::number(m_servers->smtpPort());
    const QString pop3 = QString::number(m_servers->pop3Port());
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refusedPort = QString::number(closed.serverPort());
    closed.close();
    const QStringList send{"send", "--from", "user23@localhost", "--body", "never sent"};
    const QStringList fetch{"fetch", "--user", "user23", "--delete"};

    QTest::newRow("send: wrong password")
            << send + QStringList{"--server", "localhost:" + smtp, "--to", "user24@localhost", "--user", "user23",
                                  "--password", "wrong-password-23", "--log"}
            << true << false << 77 << "登录失败";
    QTest::newRow("fetch: wrong password")
            << fetch + QStringList{"--server", "localhost:" + pop3, "--password", "wrong-password-23"} << true << false
            << 77 << "登录失败";
    QTest::newRow("send: refused port")
            << send + QStringList{"--server", "127.0.0.1:" + refusedPort, "--to", "user24@localhost"} << true << false
            << 75 << "无法连接 127.0.0.1:" + refusedPort;
    QTest::newRow("fetch: untrusted certificate")
            << fetch + QStringList{"--server", "pop3s://localhost:" + QString::number(m_servers->pop3sPort()),
                                   "--password", "secret-user23"}
            << false << false << 69 << "证书";
    QTest::newRow("send: semicolons, one piece no address")
            << send + QStringList{"--server", "localhost:" + smtp, "--to", "user24@localhost;bob at localhost"}
            << true << false << 2 << "“bob at localhost”";
    QTest::newRow("send: TLS port without smtps://")
            << send + QStringList{"--server", "localhost:" + QString::number(m_servers->smtpsPort()), "--to",
                                  "user24@localhost", "--timeout", "2"}
            << true << false << 69 << "2 秒内没有收到服务器的问候：该端口可能要求 TLS 直接连接，请写成 smtps://主机";
    QTest::newRow("fetch: TLS port without pop3s://")
            << fetch + QStringList{"--server", "localhost:" + QString::number(m_servers->pop3sPort()), "--password",
                                   "secret-user23", "--timeout", "2"}
            << true << false << 69 << "2 秒内没有收到服务器的问候：该端口可能要求 TLS 直接连接，请写成 pop3s://主机";
    QTest::newRow("fetch: registry cannot be written")
            << fetch + QStringList{"--server", "localhost:" + pop3, "--password", "secret-user23"} << true << true << 0
            << "components.ini";
}

void TestCliMail::failuresSayWhyWithTheirExitCode()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, trustTestCa);
    QFETCH(bool, unwritableConfig);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    m_servers->clearMailbox("user23");
    m_servers->clearMailbox("user24");
    m_servers->deliver("user23", rawMessage(1, true));
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QProcessEnvironment environment = m_environment;
    if (!trustTestCa)
        environment.remove("ORVEX_CA_FILE");
    if (unwritableConfig) {
        // Below a plain file no folder can be made, whoever runs the test.
        writeFile(work.filePath("not-a-folder"), "");
        environment.insert("XDG_CONFIG_HOME", work.filePath("not-a-folder/config"));
    }

    const CliRun run = runCli(arguments, environment, work.path());
    QVERIFY2(run.exitCode == exitCode, qPrintable(QString::number(run.exitCode) + ": " + run.err));
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QVERIFY2(!run.err.contains("wrong-password-23"), qPrintable(run.err));
    if (unwritableConfig)
        QCOMPARE(run.err.count(said), 1);
    if (exitCode != 0) {
        QCOMPARE(m_servers->messageFiles("user23").size(), 1);
        QCOMPARE(m_servers->messageFiles("user24").size(), 0);
    }
}

// A folder that already holds the user's own files of the attachment's
// name: they stay, the attachment takes a free name, and fetching the same
// message again leaves one file. A fetch whose attachment cannot be saved
// fails, says why, and deletes nothing.
void TestCliMail::usersFilesAndUnsavedMessagesAreKept()
{
    m_servers->clearMailbox("user40");
    m_servers->deliver("user40", "From: sender@example.com\r\nTo: user40@localhost\r\nSubject: notes\r\n"
                                 "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                                 "--b\r\nContent-Type: text/plain\r\n\r\nsee the notes\r\n"
                                 "--b\r\nContent-Type: text/plain; name=\"notes.txt\"\r\n"
                                 "Content-Disposition: attachment; filename=\"notes.txt\"\r\n\r\n"
                                 "from the mail\r\n--b--\r\n");
    QTemporaryDir work;
    QVERIFY(work.isValid());
    writeFile(work.filePath("notes.txt"), "my own notes");
    writeFile(work.filePath("notes (2).txt"), "older notes");
    const QStringList fetch{"fetch", "--server", "localhost", "--port", QString::number(m_servers->pop3Port()),
                            "--user", "user40", "--password", "secret-user40", "--log", "--attach-dir"};

    for (int round = 0; round < 2; ++round) {
        const CliRun run = runCli(fetch + QStringList{work.path()}, m_environment);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QJsonArray mails = jsonArray(run);
        QCOMPARE(mails.size(), 1);
        QCOMPARE(strings(mails.at(0).toObject().value("attachment")), QStringList{work.filePath("notes (3).txt")});
        QCOMPARE(readFile(work.filePath("notes (3).txt")), QByteArray("from the mail"));
        QCOMPARE(readFile(work.filePath("notes.txt")), QByteArray("my own notes"));
        QCOMPARE(readFile(work.filePath("notes (2).txt")), QByteArray("older notes"));
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
    }

    // A folder nobody can make a file in, not even root.
    const CliRun unsaved = runCli(fetch + QStringList{"/proc", "--delete"}, m_environment);
    QCOMPARE(unsaved.exitCode, 74);  // EX_IOERR
    QVERIFY2(unsaved.err.contains("接收失败！"), qPrintable(unsaved.err));
    QVERIFY2(unsaved.err.contains("附件“notes.txt”没有保存"), qPrintable(unsaved.err));
    QCOMPARE(m_servers->messageFiles("user40").size(), 1);
}

void TestCliMail::rawCopiesHoldTheServersBytes_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("broken");  // new/ of the Maildir takes no file (it leads into /proc)
    QTest::newRow("maildir") << "--maildir" << false;
    QTest::newRow("mbox") << "--mbox" << false;
    QTest::newRow("maildir that takes no file: nothing deleted") << "--maildir" << true;
}

// With --delete the messages leave the server, and what stays is the copy:
// exactly the server's bytes in a Maildir, the mboxrd form in an mbox. The
// record carries the headers scripts reply and thread with.
void TestCliMail::rawCopiesHoldTheServersBytes()
{
    QFETCH(QString, option);
    QFETCH(bool, broken);
    m_servers->clearMailbox("user33");
    const QByteArray message = referencedMessage();
    // Past the size a fetch keeps in memory: it passes through a file.
    QByteArray large = rawMessage(2, true);
    for (int line = 0; large.size() < 3 * 1024 * 1024; ++line)
        large += "line " + QByteArray::number(line) + " of a long message\r\n";
    m_servers->deliver("user33", message);
    m_servers->deliver("user33", large);
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString target = work.filePath("copies");
    if (option == "--maildir")
        QVERIFY(QDir().mkpath(target));
    if (broken)
        QVERIFY(QFile::link("/proc", target + "/new"));

    const CliRun run = runCli({"fetch", "--server", "localhost", "--port", QString::number(m_servers->pop3Port()),
                               "--user", "user33", "--password", "secret-user33", "--delete", option, target},
                              m_environment, work.path());
    if (broken) {
        QCOMPARE(run.exitCode, 74);  // EX_IOERR
        QVERIFY2(run.err.contains(target + "/new"), qPrintable(run.err));
        QCOMPARE(m_servers->messageFiles("user33").size(), 2);
        QVERIFY(QDir(target + "/tmp").isEmpty());
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(m_servers->waitForMessageCount("user33", 0));
    if (option == "--maildir") {
        QDir fresh(target + "/new");
        const QStringList names = fresh.entryList(QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 2);
        QList<QByteArray> copies{readFile(fresh.filePath(names.at(0))), readFile(fresh.filePath(names.at(1)))};
        QVERIFY(copies.contains(message));
        QVERIFY(copies.contains(large));
        QVERIFY(QDir(target + "/tmp").isEmpty());
    } else {
        const QByteArray mbox = readFile(target);
        QVERIFY2(mbox.startsWith("From sender@example.com "), mbox.left(2000).constData());
        QVERIFY2(mbox.contains("\n\nFrom sender2@example.com "), mbox.left(2000).constData());
        QVERIFY2(mbox.contains("\nplain words\n.hidden dot\n>From here on\n--b\n"), mbox.left(2000).constData());
        QVERIFY2(mbox.endsWith(QByteArray(large).replace("\r\n", "\n") + "\n"), mbox.right(200).constData());
        QVERIFY2(!mbox.contains('\r'), mbox.left(2000).constData());
    }

    const QJsonObject mail = jsonArray(run).at(0).toObject();
    QCOMPARE(strings(mail.value("cc")), QStringList{"copy@example.com"});
    QCOMPARE(mail.value("replyto").toString(), QStringLiteral("answers@example.com"));
    QCOMPARE(mail.value("messageid").toString(), QStringLiteral("m2@example.com"));
    QCOMPARE(mail.value("inreplyto").toString(), QStringLiteral("m1@example.com"));
    QCOMPARE(mail.value("date").toString(), QStringLiteral("2026-12-07T18:00:00+08:00"));
    QVERIFY(mail.value("html").toBool());
    QCOMPARE(mail.value("text").toString().trimmed(), QStringLiteral("plain words\r\n.hidden dot\r\nFrom here on"));
}

// Each run fetches only what came since the last; the seen list lives under
// $XDG_STATE_HOME/orvex/.
void TestCliMail::onlyNewAcrossRuns()
{
    m_servers->clearMailbox("user34");
    m_servers->deliver("user34", rawMessage(1, true));
    m_servers->deliver("user34", rawMessage(2, true));
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QProcessEnvironment environment = m_environment;
    environment.insert("XDG_STATE_HOME", work.filePath("state"));
    const QStringList fetch{"fetch", "--server", "localhost", "--port", QString::number(m_servers->pop3Port()),
                            "--user", "user34", "--password", "secret-user34", "--only-new", "--tls", "required"};
    auto subjects = [&]() {
        const CliRun run = runCli(fetch, environment, work.path());
        QStringList list;
        if (run.exitCode != 0)
            list << "exit " + QString::number(run.exitCode) + ": " + run.err;
        for (const QJsonValue &mail : jsonArray(run))
            list << mail.toObject().value("subject").toString();
        return list;
    };

    QCOMPARE(subjects(), QStringList({"message 1", "message 2"}));
    QCOMPARE(QDir(work.filePath("state/orvex")).entryList(QDir::Files).size(), 1);
    m_servers->deliver("user34", rawMessage(3, true));
    QCOMPARE(subjects(), QStringList{"message 3"});
    QCOMPARE(subjects(), QStringList());
    QCOMPARE(m_servers->messageFiles("user34").size(), 3);
}

void TestCliMail::tlsOptions_data()
{
    QTest::addColumn<bool>("plainServer");  // the server offers no STARTTLS
    QTest::addColumn<bool>("trustedCa");    // ORVEX_CA_FILE names the servers' CA
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("sent");

    const QString fingerprint = serverFingerprint(*m_servers);
    const QString wrong = QString(64, QLatin1Char('0'));
    QTest::newRow("required, no STARTTLS: nothing goes") << true << true << QStringList{"--tls", "required"} << false;
    QTest::newRow("opportunistic, no STARTTLS: sent in clear") << true << true << QStringList{"--tls", "opportunistic"}
                                                               << true;
    QTest::newRow("required, STARTTLS") << false << true << QStringList{"--tls", "required"} << true;
    QTest::newRow("no trusted CA") << false << false << QStringList{} << false;
    QTest::newRow("CA from --ca-file") << false << false << QStringList{"--ca-file", m_servers->caFile()} << true;
    QTest::newRow("pinned certificate, no CA") << false << false << QStringList{"--tls-fingerprint", fingerprint}
                                               << true;
    QTest::newRow("another certificate pinned") << false << true << QStringList{"--tls-fingerprint", wrong} << false;
}

void TestCliMail::tlsOptions()
{
    QFETCH(bool, plainServer);
    QFETCH(bool, trustedCa);
    QFETCH(QStringList, options);
    QFETCH(bool, sent);
    m_servers->clearMailbox("user35");
    QProcessEnvironment environment = m_environment;
    if (!trustedCa)
        environment.remove("ORVEX_CA_FILE");
    const int port = plainServer ? m_servers->smtpPlainPort() : m_servers->smtpPort();
    QVERIFY2(port > 0, "the plain SMTP server is not running");

    const CliRun run = runCli(QStringList{"send", "--server", "localhost", "--port", QString::number(port), "--from",
                                          "user35@localhost", "--to", "user35@localhost", "--body", "tls", "--log"}
                                  + options,
                              environment);
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QVERIFY2(run.exitCode == (sent ? 0 : 69), qPrintable(run.err));  // EX_UNAVAILABLE
    // The server delivers before it confirms the data: what was sent is there.
    QCOMPARE(m_servers->messageFiles("user35").size(), sent ? 1 : 0);
    if (!sent)
        QVERIFY2(!run.err.contains("MAIL FROM"), qPrintable(run.err));
}

void TestCliMail::passwordSources_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("netrc");  // ~/.netrc, none when empty
    QTest::addColumn<int>("netrcMode");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");      // what stderr must say

    const QByteArray entry = "machine other.example login user36 password wrong\n"
                             "machine localhost\n  login user36\n  password secret-user36\n";
    QTest::newRow("first line of the command's output")
        << QStringList{"--password-command", "printf 'secret-user36\\nsecond line\\n'"} << QByteArray() << 0600 << 0
        << "";
    QTest::newRow("failing command: its status, never its output")
        << QStringList{"--password-command", "printf 'secret-%s\\n' user36; exit 3"} << QByteArray() << 0600 << 2
        << "状态 3";
    QTest::newRow("netrc") << QStringList{} << entry << 0600 << 0 << "";
    QTest::newRow("netrc others may read") << QStringList{} << entry << 0644 << 2 << ".netrc";
    QTest::newRow("netrc of another login") << QStringList{}
                                            << QByteArray("machine localhost login user01 password secret-user36\n")
                                            << 0600 << 2 << "ORVEX_PASSWORD";
}

void TestCliMail::passwordSources()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, netrc);
    QFETCH(int, netrcMode);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    m_servers->clearMailbox("user36");
    m_servers->deliver("user36", rawMessage(1, true));
    QTemporaryDir home;
    QVERIFY(home.isValid());
    if (!netrc.isEmpty()) {
        writeFile(home.filePath(".netrc"), netrc);
        QCOMPARE(::chmod(QFile::encodeName(home.filePath(".netrc")).constData(), mode_t(netrcMode)), 0);
    }
    QProcessEnvironment environment = m_environment;
    environment.insert("HOME", home.path());

    const CliRun run = runCli(QStringList{"fetch", "--server", "localhost", "--port",
                                          QString::number(m_servers->pop3Port()), "--user", "user36"}
                                  + options,
                              environment, home.path());
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
    if (exitCode == 0)
        QCOMPARE(jsonArray(run).size(), 1);
    else
        QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QVERIFY2(!run.err.contains("secret-user36"), qPrintable(run.err));
}

// Without any other source, a terminal is asked; what is typed is not
// echoed. `script` gives the program a pseudo-terminal.
void TestCliMail::passwordPromptOnATerminal()
{
    m_servers->clearMailbox("user37");
    m_servers->deliver("user37", rawMessage(1, true));
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = m_environment;
    environment.insert("HOME", home.path());
    const QString command = QStringLiteral("'%1/orvex-cli' fetch --server localhost --port %2 --user user37")
                                .arg(qEnvironmentVariable("ORVEX_BIN_DIR"))
                                .arg(m_servers->pop3Port());
    QProcess terminal;
    terminal.setProcessEnvironment(environment);
    terminal.setWorkingDirectory(home.path());
    terminal.start("script", {"-qec", command, "/dev/null"});
    QVERIFY2(terminal.waitForStarted(), "script (util-linux) is missing");
    QByteArray shown;
    while (!shown.contains("的密码：") && terminal.waitForReadyRead(60000))
        shown += terminal.readAllStandardOutput();
    QVERIFY2(shown.contains("user37@localhost 的密码："), shown.constData());
    terminal.write("secret-user37\n");
    QVERIFY(terminal.waitForFinished(60000));
    shown += terminal.readAllStandardOutput();
    QVERIFY2(terminal.exitCode() == 0, shown.constData());
    QVERIFY2(shown.contains("\"subject\":\"message 1\""), shown.constData());
    QVERIFY2(!shown.contains("secret-user37"), shown.constData());
}

enum class Fault { FullOutput, ClosedOutput, OutputFileNotSynced, NoFsync, FileSizeLimit, FullFolder };
Q_DECLARE_METATYPE(Fault)

void TestCliMail::failedOutputOrDiskDeletesNothing_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");  // on stderr
    const QString unwritten = QStringLiteral("无法写出收到的邮件（标准输出）");
    QTest::newRow("output to a full device") << Fault::FullOutput << EX_IOERR << unwritten;
    QTest::newRow("output closed") << Fault::ClosedOutput << EX_IOERR << unwritten;
    QTest::newRow("output file not forced to disk") << Fault::OutputFileNotSynced << EX_IOERR << unwritten;
    QTest::newRow("attachment not forced to disk") << Fault::NoFsync << EX_IOERR << QStringLiteral("写入磁盘");
    QTest::newRow("attachment past the file size limit") << Fault::FileSizeLimit << EX_IOERR
                                                         << QStringLiteral("附件“big.bin”没有保存");
    QTest::newRow("attachment folder on a full disk") << Fault::FullFolder << EX_IOERR
                                                      << QStringLiteral("磁盘空间不足，无法把附件写入文件夹 <folder>");
}

// The records and the saved attachments are the only copy of a message once
// it leaves the server: when either cannot be written whole, nothing is
// deleted and the exit code says so.
void TestCliMail::failedOutputOrDiskDeletesNothing()
{
    QFETCH(Fault, fault);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    m_servers->clearMailbox("user40");
    // The attachment is decoded in memory and written into the folder.
    const QByteArray content(100 * 1024, 'z');
    m_servers->deliver("user40", "From: sender@example.com\r\nTo: user40@localhost\r\nSubject: big\r\n"
                                 "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                                 "--b\r\nContent-Type: text/plain\r\n\r\nsee the file\r\n"
                                 "--b\r\nContent-Type: application/octet-stream\r\n"
                                 "Content-Disposition: attachment; filename=\"big.bin\"\r\n"
                                 "Content-Transfer-Encoding: base64\r\n\r\n"
                                 + content.toBase64() + "\r\n--b--\r\n");
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString folder = QFileInfo(work.path()).canonicalFilePath();
    QProcessEnvironment environment = m_environment;
    const bool noFsync = fault == Fault::NoFsync || fault == Fault::OutputFileNotSynced;
    if (noFsync || fault == Fault::FullFolder) {
        environment.insert("LD_PRELOAD", ORVEX_FAILING_DISK);
        environment.insert(noFsync ? "ORVEX_FAIL_FSYNC" : "ORVEX_FULL_FOLDER", noFsync ? QStringLiteral("1") : folder);
    }
    QTemporaryDir outputFolder;
    const QString outputFile = outputFolder.filePath("mail.json");
    const auto prepare = [fault, outputFile](QProcess &process) {
        if (fault == Fault::FullOutput)
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
        if (fault == Fault::OutputFileNotSynced)
            process.setStandardOutputFile(outputFile);
        if (fault == Fault::ClosedOutput)
            process.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        if (fault == Fault::FileSizeLimit) {
            process.setChildProcessModifier([] {
                const rlimit limit{16 * 1024, 16 * 1024};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        }
    };

    const CliRun run = runCli({"fetch", "--server", "localhost", "--port", QString::number(m_servers->pop3Port()),
                               "--user", "user40", "--password", "secret-user40", "--delete", "--log",
                               "--attach-dir", folder},
                              environment, QString(), QByteArray(), prepare);
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QCOMPARE(run.exitCode, exitCode);
    reason.replace("<folder>", folder);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QCOMPARE(m_servers->messageFiles("user40").size(), 1);
    QVERIFY2(!run.err.contains(QStringLiteral("已在服务器上删除")), qPrintable(run.err));
    if (fault == Fault::FileSizeLimit || fault == Fault::FullFolder) {
        // Nothing claims a file that does not hold the whole attachment.
        QCOMPARE(jsonArray(run).size(), 0);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
}

QTEST_GUILESS_MAIN(TestCliMail)
#include "test_cli_mail.moc"
