// orvex-cli end to end against the real test servers: what `send` puts on
// the wire comes back through `fetch`, and `fetch --delete` removes exactly
// what it fetched.
#include "cli/cli_process.h"
#include "fixtures/mail_servers.h"
#include "support/test_files.h"

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
                                "--subject", "中文主题：往返测试", "--body-file", body, "--html", "--attach", text,
                                "--attach", data, "--receipt", "--log"},
                               m_environment);
    QVERIFY2(send.exitCode == 0, qPrintable(send.err));
    QVERIFY2(send.out.isEmpty(), send.out.constData());
    QVERIFY2(!send.err.trimmed().isEmpty(), "--log printed no transfer log");
    QVERIFY2(!send.err.contains("secret-user23"), qPrintable(send.err));

    QVERIFY(m_servers->waitForMessageCount("user23", 1));
    QVERIFY(m_servers->waitForMessageCount("user24", 1));
    const QByteArray raw = m_servers->messageContents("user23").value(0);
    QVERIFY2(raw.contains("Disposition-Notification-To"), raw.left(2000).constData());

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
    QCOMPARE(strings(mail.value("recipientaddress1")), QStringList({"user23@localhost", "user24@localhost"}));
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
    m_servers->clearMailbox("user30");
    m_servers->deliver("user30", "From: sender@example.com\r\nTo: user30@localhost\r\nSubject: notes\r\n"
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
                            "--user", "user30", "--password", "secret-user30", "--log", "--attach-dir"};

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
    QCOMPARE(m_servers->messageFiles("user30").size(), 1);
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
    m_servers->clearMailbox("user30");
    // The attachment is decoded in memory and written into the folder.
    const QByteArray content(100 * 1024, 'z');
    m_servers->deliver("user30", "From: sender@example.com\r\nTo: user30@localhost\r\nSubject: big\r\n"
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
                               "--user", "user30", "--password", "secret-user30", "--delete", "--log",
                               "--attach-dir", folder},
                              environment, QString(), QByteArray(), prepare);
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QCOMPARE(run.exitCode, exitCode);
    reason.replace("<folder>", folder);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QCOMPARE(m_servers->messageFiles("user30").size(), 1);
    QVERIFY2(!run.err.contains(QStringLiteral("已在服务器上删除")), qPrintable(run.err));
    if (fault == Fault::FileSizeLimit || fault == Fault::FullFolder) {
        // Nothing claims a file that does not hold the whole attachment.
        QCOMPARE(jsonArray(run).size(), 0);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
}

QTEST_GUILESS_MAIN(TestCliMail)
#include "test_cli_mail.moc"
