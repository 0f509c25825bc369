// SPDX-License-Identifier: MIT
// orvex-cli's command line: help, bad arguments and a component that cannot
// be registered. None of these reaches a mail server.
#include "cli/cli_process.h"
#include "orvex_version.h"
#include "support/test_files.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class TestCliArguments : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void helpDocumentsEveryOption();
    void badArgumentsExitWithTwo_data();
    void badArgumentsExitWithTwo();
    void passwordMayComeFromTheEnvironment();
    void passwordIsWipedFromTheCommandLine();
    void unloadableComponentSaysWhy();

private:
    QTemporaryDir m_dir;
    QString m_attachment;
    QString m_body;
};

void TestCliArguments::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_attachment = m_dir.filePath(QStringLiteral("a.txt"));
    testfiles::writeFile(m_attachment, "attachment\n");
    m_body = m_dir.filePath(QStringLiteral("body.txt"));
    testfiles::writeFile(m_body, "\xff\xfe not UTF-8\n");
}

void TestCliArguments::helpDocumentsEveryOption()
{
    const QStringList sendOptions = {"--server", "--port", "--user", "--password", "--from", "--from-name",
                                     "--to", "--cc", "--bcc", "--subject", "--body", "--body-file", "--html",
                                     "--attach", "--receipt", "--password-command", "--tls", "--tls-fingerprint",
                                     "--ca-file", "--log"};
    const QStringList fetchOptions = {"--server", "--port", "--user", "--password", "--password-command", "--range",
                                      "--delete", "--attach-dir", "--maildir", "--mbox", "--only-new", "--tls",
                                      "--tls-fingerprint", "--ca-file", "--log"};
    const CliRun general = runCli({"--help"});
    QCOMPARE(general.exitCode, 0);
    const QString text = QString::fromUtf8(general.out);
    for (const QString &option : sendOptions + fetchOptions)
        QVERIFY2(text.contains(option), qPrintable(option));
    QVERIFY(text.contains("ORVEX_PASSWORD"));
    for (const char *key : {"maildatetime", "cc", "replyto", "messageid", "inreplyto", "date", "text"})
        QVERIFY2(text.contains(key), key);
    QVERIFY(text.contains(".netrc"));
    QVERIFY(text.contains("--version"));

    const CliRun version = runCli({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("orvex-cli ") + kOrvexVersion + '\n');

    const CliRun send = runCli({"send", "--help"});
    QCOMPARE(send.exitCode, 0);
    for (const QString &option : sendOptions)
        QVERIFY2(QString::fromUtf8(send.out).contains(option), qPrintable(option));
    const CliRun fetch = runCli({"fetch", "-h"});
    QCOMPARE(fetch.exitCode, 0);
    for (const QString &option : fetchOptions)
        QVERIFY2(QString::fromUtf8(fetch.out).contains(option), qPrintable(option));
}

void TestCliArguments::badArgumentsExitWithTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");  // what the message must name

    const QStringList send = {"send", "--server", "localhost", "--from", "a@x", "--to", "b@y", "--body", "hi"};
    const QStringList fetch = {"fetch", "--server", "localhost", "--user", "u", "--password", "p"};

    QTest::newRow("no command") << QStringList{} << "send";
    QTest::newRow("unknown command") << QStringList{"receive"} << "receive";
    QTest::newRow("unknown option") << (send + QStringList{"--bogus"}) << "bogus";
    QTest::newRow("option without its value") << (send + QStringList{"--subject"}) << "subject";
    QTest::newRow("stray argument") << (fetch + QStringList{"extra"}) << "extra";
    QTest::newRow("send without server") << (QStringList{"send"} + send.mid(3)) << "--server";
    QTest::newRow("send with empty server") << (QStringList{"send", "--server", ""} + send.mid(3)) << "--server";
    QTest::newRow("port 0") << (send + QStringList{"--port", "0"}) << "--port";
    QTest::newRow("port 65536") << (send + QStringList{"--port", "65536"}) << "--port";
    QTest::newRow("port with letters") << (send + QStringList{"--port", "25a"}) << "--port";
    QTest::newRow("negative port") << (fetch + QStringList{"--port=-110"}) << "--port";
    QTest::newRow("port in server contradicts --port")
        << QStringList{"send", "--server", "smtps://h:465", "--port", "25", "--from", "a@x", "--to", "b@y",
                       "--body", "x"}
        << "465";
    QTest::newRow("port in server not a number") << (QStringList{"fetch", "--server", "h:pop"} + fetch.mid(3))
                                                 << "--server";
    QTest::newRow("send without from") << QStringList{"send", "--server", "h", "--to", "b@y", "--body", "x"}
                                       << "--from";
    QTest::newRow("send without to") << QStringList{"send", "--server", "h", "--from", "a@x", "--body", "x"}
                                     << "--to";
    QTest::newRow("send without body") << send.mid(0, 7) << "--body";
    QTest::newRow("send with two bodies") << (send + QStringList{"--body-file", m_body}) << "--body";
    QTest::newRow("body file missing") << (send.mid(0, 7) + QStringList{"--body-file", m_dir.filePath("none")})
                                       << "--body-file";
    QTest::newRow("body file not UTF-8") << (send.mid(0, 7) + QStringList{"--body-file", m_body}) << "UTF-8";
    QTest::newRow("attachment missing")
        << (send + QStringList{"--attach", m_attachment, "--attach", m_dir.filePath("gone.bin")}) << "gone.bin";
    QTest::newRow("attachment is a folder") << (send + QStringList{"--attach", m_dir.path()}) << "--attach";
    QTest::newRow("password without user") << (send + QStringList{"--password", "p"}) << "--user";
    QTest::newRow("user without password") << (send + QStringList{"--user", "u"}) << "ORVEX_PASSWORD";
    QTest::newRow("fetch without user") << QStringList{"fetch", "--server", "h", "--password", "p"} << "--user";
    QTest::newRow("fetch without password") << fetch.mid(0, 5) << "ORVEX_PASSWORD";
    QTest::newRow("timeout of zero") << (fetch + QStringList{"--timeout", "0"}) << "--timeout";
    QTest::newRow("range without end") << (fetch + QStringList{"--range", "1-"}) << "--range";
    QTest::newRow("range of words") << (fetch + QStringList{"--range", "all"}) << "--range";
    QTest::newRow("range of three") << (fetch + QStringList{"--range", "1-2-3"}) << "--range";
    QTest::newRow("attachment folder missing")
        << (fetch + QStringList{"--attach-dir", m_dir.filePath("no-such-folder")}) << "--attach-dir";
    QTest::newRow("attachment folder is a file") << (fetch + QStringList{"--attach-dir", m_attachment})
                                                 << "--attach-dir";
    QTest::newRow("tls of another word") << (send + QStringList{"--tls", "always"}) << "--tls";
    QTest::newRow("fingerprint not SHA-256") << (fetch + QStringList{"--tls-fingerprint", "AB:CD"})
                                             << "--tls-fingerprint";
    QTest::newRow("CA file missing") << (send + QStringList{"--ca-file", m_dir.filePath("none.pem")}) << "--ca-file";
    QTest::newRow("cc without an address") << (send + QStringList{"--cc", "nobody"}) << "--cc";
    QTest::newRow("password command without user") << (send + QStringList{"--password-command", "true"})
                                                   << "--user";
    QTest::newRow("password and password command") << (fetch + QStringList{"--password-command", "true"})
                                                   << "--password-command";
    QTest::newRow("maildir missing") << (fetch + QStringList{"--maildir", m_dir.filePath("no-maildir")})
                                     << "--maildir";
    QTest::newRow("mbox in a missing folder") << (fetch + QStringList{"--mbox", m_dir.filePath("no/box")})
                                              << "--mbox";
    QTest::newRow("maildir and mbox") << (fetch + QStringList{"--maildir", m_dir.path(), "--mbox",
                                                              m_dir.filePath("box")})
                                      << "--mbox";
}

void TestCliArguments::badArgumentsExitWithTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const CliRun run = runCli(arguments);
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
    QVERIFY2(run.err.contains("--help"), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

// With ORVEX_PASSWORD set, a logon needs no --password: the run gets past
// the arguments and fails only at the (unreachable) server.
void TestCliArguments::passwordMayComeFromTheEnvironment()
{
    QProcessEnvironment environment = cliEnvironment();
    environment.insert("ORVEX_PASSWORD", "from-the-environment");
    const CliRun run = runCli({"fetch", "--server", "127.0.0.1", "--port", "1", "--user", "u", "--log"},
                              environment, m_dir.path());
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QCOMPARE(run.exitCode, 75);  // EX_TEMPFAIL: nothing listens there
    QVERIFY2(!run.err.contains("ORVEX_PASSWORD"), qPrintable(run.err));
    QVERIFY2(!run.err.contains("from-the-environment"), qPrintable(run.err));
}

// The password given with --password is gone from what other users see of
// the process (ps reads /proc/<pid>/cmdline) by the time it connects.
void TestCliArguments::passwordIsWipedFromTheCommandLine()
{
    QTcpServer silent;  // accepts and never answers, so the run waits
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QProcess cli;
    cli.setProcessEnvironment(cliEnvironment());
    cli.setWorkingDirectory(m_dir.path());
    cli.start(qEnvironmentVariable("ORVEX_BIN_DIR") + "/orvex-cli",
              {"fetch", "--server", "127.0.0.1", "--port", QString::number(silent.serverPort()), "--user", "u",
               "--password", "hunter-secret-2"});
    QVERIFY(cli.waitForStarted());
    QVERIFY(silent.waitForNewConnection(60000));
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(cli.processId()));
    QVERIFY(cmdline.open(QIODevice::ReadOnly));
    const QByteArray shown = cmdline.readAll();
    cli.kill();
    cli.waitForFinished();
    QVERIFY2(shown.contains("--password"), shown.constData());
    QVERIFY2(!shown.contains("hunter-secret-2"), shown.constData());
}

void TestCliArguments::unloadableComponentSaysWhy()
{
    QProcessEnvironment environment = cliEnvironment();
    environment.insert("ORVEX_COMPONENT", m_dir.filePath("missing/liborvex.so"));
    const CliRun run = runCli({"fetch", "--server", "localhost", "--user", "u", "--password", "p"}, environment,
                              m_dir.path());
    QCOMPARE(run.exitCode, 69);  // EX_UNAVAILABLE
    QVERIFY2(run.err.startsWith(QStringLiteral("注册orvex组件失败！")), qPrintable(run.err));
    QVERIFY2(run.err.contains("missing/liborvex.so"), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestCliArguments)
#include "test_cli_arguments.moc"
