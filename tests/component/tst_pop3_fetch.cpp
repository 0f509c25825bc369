// SPDX-License-Identifier: MIT
// Fetching from a real Dovecot on loopback (the mail_servers fixture),
// through the component's automation objects, in the engine's order.
#include "fixtures/mail_servers.h"
#include "network_namespace.h"
#include "pop3_test_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>

using pop3test::crlf;
using pop3test::FetchedMessage;
using pop3test::Mailbox;

namespace {

QByteArray encodeAs(const char *charset, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        qFatal("iconv cannot convert to %s", charset);
    QByteArray out(utf8.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == size_t(-1))
        qFatal("%s cannot hold %s", charset, qPrintable(text));
    iconv_close(cd);
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

// An RFC 2047 word in `charset`, written with the bytes of `bytesCharset`
// (to label GBK or GB18030 bytes "gb2312", as much real mail does).
QByteArray encodedWord(const char *label, const char *bytesCharset, const QString &text)
{
    return "=?" + QByteArray(label) + "?B?" + encodeAs(bytesCharset, text).toBase64() + "?=";
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(20261207);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.generate() & 0xff);
    return bytes;
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + "\n";
    return out;
}

QByteArray simpleMessage(const QByteArray &subject, const QByteArray &body = "Hello.\n")
{
    return crlf("From: sender@example.com\nTo: someone@example.com\nSubject: " + subject
                + "\nDate: Mon, 07 Dec 2026 10:30:00 +0800\n\n" + body);
}

// Set, inside the run below, to a certificate that signed nothing here.
const char *const kUnrelatedBundle = "ORVEX_TEST_UNRELATED_BUNDLE";

// What openssl printed; empty, with `failure` set, when it failed.
QByteArray openssl(const QStringList &arguments, QString &failure)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (process.waitForFinished(60 * 1000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return process.readAllStandardOutput();
    failure = QStringLiteral("openssl %1: %2").arg(arguments.join(QLatin1Char(' ')),
                                                  QString::fromLocal8Bit(process.readAllStandardError()));
    return {};
}

// Runs `testCase` of this program again inside a mount namespace of its own,
// where /etc/ssl/certs, the system's store of trusted certificates, holds
// `caFile` alone. Empty when the case passed there; else why not.
QString failureWithOwnSystemStore(const QString &testCase, const QString &caFile)
{
    QTemporaryDir folder;
    const QString store = folder.filePath(QStringLiteral("certs"));
    const QString unrelated = folder.filePath(QStringLiteral("unrelated.pem"));
    QString failure;
    // The store is searched by the hash of a certificate's subject.
    const QByteArray hash =
        openssl({QStringLiteral("x509"), QStringLiteral("-hash"), QStringLiteral("-noout"), QStringLiteral("-in"), caFile},
                failure)
            .trimmed();
    openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
             QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
             QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=unrelated"),
             QStringLiteral("-keyout"), folder.filePath(QStringLiteral("unrelated.key")), QStringLiteral("-out"),
             unrelated},
            failure);
    if (failure.isEmpty()
        && (!QDir().mkpath(store) || !QFile::copy(caFile, store + QLatin1Char('/') + QString::fromLatin1(hash) + ".0")))
        failure = QStringLiteral("cannot make the store in %1").arg(store);
    if (!failure.isEmpty())
        return failure;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("ORVEX_TEST_STORE"), store);
    environment.insert(QString::fromLatin1(kUnrelatedBundle), unrelated);
    return nettest::failureInOwnNamespaces(
            {QStringLiteral("--mount")},
            QStringLiteral("mount --bind \"$ORVEX_TEST_STORE\" /etc/ssl/certs || exit 77\nexec \"$@\"\n"), testCase,
            environment);
}

qint64 peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Resets the peak mark to the present size; -1 where that is not possible.
qint64 peakMemoryResetKb()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
        return -1;
    clearRefs.close();
    return peakMemoryKb();
}

QString subjectOf(const QByteArray &raw)
{
    static const QRegularExpression subject(QStringLiteral("^Subject: (.*)$"),
                                            QRegularExpression::MultilineOption);
    return subject.match(QString::fromUtf8(raw).remove(QLatin1Char('\r'))).captured(1);
}

} // namespace

class TestPop3Fetch : public QObject {
    Q_OBJECT

private:
    std::optional<TestServers> m_servers;

    // Logs `user` on through STLS on the POP3 port.
    bool logOn(Mailbox &mailbox, const QString &user)
    {
        return mailbox.connect(user, TestServers::password(user), QStringLiteral("127.0.0.1"), m_servers->pop3Port());
    }

    void freshMailbox(const QString &user, const QList<QByteArray> &messages)
    {
        m_servers->clearMailbox(user);
        for (const QByteArray &raw : messages)
            m_servers->deliver(user, raw);
    }

private slots:
    void initTestCase()
    {
        m_servers = TestServers::load();
        if (!m_servers)
            QFAIL(qPrintable(TestServers::unavailableReason()));
        qputenv("ORVEX_CA_FILE", m_servers->caFile().toLocal8Bit());
    }

    void chineseMessageComesBackWhole()
    {
        const QString user = QStringLiteral("user06");
        // 镕 is in GBK but not GB2312; 𠀀 only in GB18030: both labelled gb2312.
        const QString subject = QStringLiteral("测试邮件：朱镕基𠀀");
        const QString senderName = QStringLiteral("张三镕");
        const QString plain = QStringLiteral("你好，镕基！\n第二行𠀀\n");
        const QString html = QStringLiteral("<p>你好，<b>镕基</b>！</p>");
        const QString binaryName = QStringLiteral("报告镕.bin");
        const QString textName = QStringLiteral("说明.txt");
        const QByteArray binary = randomBytes(3 * 1024 * 1024 + 17);
        const QByteArray textAttachment = "line one\r\n.line with a leading dot\r\n..\r\n.\r\nlast";

        QByteArray raw = "From: " + encodedWord("gb2312", "GBK", senderName) + " <zhangsan@example.com>\n"
            "To: " + encodedWord("gb2312", "GB2312", QStringLiteral("李四")) + " <lisi@example.com>, wang@example.com\n"
            "Cc: =?utf-8?B?" + QStringLiteral("赵六").toUtf8().toBase64() + "?= <zhao@example.com>\n"
            "Subject: " + encodedWord("gb2312", "GB18030", subject) + "\n"
            "Date: Mon, 07 Dec 2026 10:30:00 +0800\n"
            "MIME-Version: 1.0\n"
            "Content-Type: multipart/mixed; boundary=\"outer\"\n\n"
            "--outer\n"
            "Content-Type: multipart/alternative; boundary=\"alt\"\n\n"
            "--alt\n"
            "Content-Type: text/plain; charset=gb2312\n"
            "Content-Transfer-Encoding: base64\n\n"
            + base64Lines(encodeAs("GB18030", plain)) +
            "--alt\n"
            "Content-Type: text/html; charset=\"GB2312\"\n"
            "Content-Transfer-Encoding: base64\n\n"
            + base64Lines(encodeAs("GBK", html)) +
            "--alt--\n"
            "--outer\n"
            "Content-Type: application/octet-stream; name=\"" + encodedWord("gb2312", "GBK", binaryName) + "\"\n"
            "Content-Disposition: attachment; filename=\"" + encodedWord("gb2312", "GBK", binaryName) + "\"\n"
            "Content-Transfer-Encoding: base64\n\n"
            + base64Lines(binary) +
            "--outer\n"
            "Content-Type: text/plain; charset=utf-8\n"
            "Content-Disposition: attachment; filename*=utf-8''" + textName.toUtf8().toPercentEncoding() + "\n"
            "Content-Transfer-Encoding: base64\n\n"
            + base64Lines(textAttachment) +
            "--outer--\n";
        freshMailbox(user, {crlf(raw)});

        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, user), qPrintable(mailbox.log()));
        QCOMPARE(mailbox.count(), 1);
        const FetchedMessage message = mailbox.fetch(1);
        QVERIFY2(message.ok, qPrintable(message.error));
        QCOMPARE(message.subject, subject);
        QCOMPARE(message.fromName, senderName);
        QCOMPARE(message.from, QStringLiteral("zhangsan@example.com"));
        QCOMPARE(message.recipients, (QStringList{QStringLiteral("lisi@example.com"),
                                                   QStringLiteral("wang@example.com"),
                                                   QStringLiteral("zhao@example.com")}));
        QCOMPARE(message.recipientNames.value(0), QStringLiteral("李四"));
        QCOMPARE(message.recipientNames.value(2), QStringLiteral("赵六"));
        QCOMPARE(message.date, QDateTime(QDate(2026, 12, 7), QTime(2, 30), Qt::UTC).toLocalTime());
        QCOMPARE(message.date.timeSpec(), Qt::LocalTime);
        QCOMPARE(QString(message.body).remove(QLatin1Char('\r')), plain);
        QCOMPARE(message.html.trimmed(), html);

        QCOMPARE(message.attachments.size(), 2);
        QCOMPARE(message.attachments[0].name, binaryName);
        QVERIFY(message.attachments[0].saved);
        QVERIFY(message.attachments[0].content == binary);
        QCOMPARE(message.attachments[1].name, textName);
        QVERIFY(message.attachments[1].saved);
        QCOMPARE(message.attachments[1].content, textAttachment);

        const QString log = mailbox.log();
        QVERIFY2(log.contains(QStringLiteral("C: STLS")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("加密连接")), qPrintable(log));
        QVERIFY2(QRegularExpression(QStringLiteral("邮件 1，\\d+ 字节")).match(log).hasMatch(), qPrintable(log));
        QVERIFY(!log.contains(TestServers::password(user)));
        QVERIFY(mailbox.disconnect());
        // Fetching alone deletes nothing.
        QCOMPARE(m_servers->messageFiles(user).size(), 1);
    }

    void implicitTlsNeedsATrustedCertificate()
    {
        const QString user = QStringLiteral("user07");
        freshMailbox(user, {simpleMessage("over TLS")});
        {
            Mailbox mailbox;
            QVERIFY2(mailbox.connect(user, TestServers::password(user), QStringLiteral("pop3s://localhost"),
                                     m_servers->pop3sPort()),
                     qPrintable(mailbox.log()));
            QVERIFY(!mailbox.log().contains(QStringLiteral("STLS")));
            QCOMPARE(mailbox.fetch(1).subject, QStringLiteral("over TLS"));
            QVERIFY(mailbox.disconnect());
        }
        // Without the test CA the self-signed certificate must be refused,
        // for implicit TLS and for STLS alike.
        const QByteArray caFile = qgetenv("ORVEX_CA_FILE");
        qunsetenv("ORVEX_CA_FILE");
        for (const auto &[host, port] : {std::pair(QStringLiteral("pop3s://127.0.0.1"), m_servers->pop3sPort()),
                                         std::pair(QStringLiteral("127.0.0.1"), m_servers->pop3Port())}) {
            Mailbox mailbox;
            QVERIFY(!mailbox.connect(user, TestServers::password(user), host, port));
            QVERIFY2(mailbox.log().contains(QStringLiteral("证书")), qPrintable(mailbox.log()));
            QVERIFY(!mailbox.log().contains(QStringLiteral("PASS")));
            QCOMPARE(mailbox.count(), 0);
        }
        qputenv("ORVEX_CA_FILE", caFile);
    }

    // A CA bundle named besides (ORVEX_CA_FILE) adds to the certificates
    // the system trusts and never takes their place.
    void namedBundleKeepsTheSystemStore()
    {
        const QString unrelated = qEnvironmentVariable(kUnrelatedBundle);
        if (unrelated.isEmpty()) {
            const QString failure =
                failureWithOwnSystemStore(nettest::currentTestCase(), m_servers->caFile());
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        // Inside: the system trusts the test CA, the named bundle does not.
        qputenv("ORVEX_CA_FILE", QFile::encodeName(unrelated));
        const QString user = QStringLiteral("user07");
        for (const auto &[host, port] : {std::pair(QStringLiteral("pop3s://localhost"), m_servers->pop3sPort()),
                                         std::pair(QStringLiteral("localhost"), m_servers->pop3Port())}) {
            Mailbox mailbox;
            QVERIFY2(mailbox.connect(user, TestServers::password(user), host, port), qPrintable(mailbox.log()));
            QVERIFY2(mailbox.log().contains(QStringLiteral("已建立加密连接")), qPrintable(mailbox.log()));
            QVERIFY(mailbox.disconnect());
        }
    }

    void wrongPasswordFailsWithAReadableLog()
    {
        const QString user = QStringLiteral("user08");
        freshMailbox(user, {simpleMessage("keep me")});
        const QString wrong = QStringLiteral("not-the-password-4711");
        Mailbox mailbox;
        QVERIFY(!mailbox.connect(user, wrong, QStringLiteral("127.0.0.1"), m_servers->pop3Port()));
        const QString log = mailbox.log();
        QVERIFY2(log.contains(QStringLiteral("登录失败")), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("-ERR")), qPrintable(log));
        QVERIFY(!log.contains(wrong));
        QVERIFY(!log.contains(QString::fromLatin1(QStringLiteral("\0user08\0%1").arg(wrong).toUtf8().toBase64())));
        QCOMPARE(mailbox.count(), 0);
        QVERIFY(!mailbox.fetch(1).ok);
        mailbox.disconnect();

        // A password that smuggles a second command is refused before
        // anything is sent.
        Mailbox injected;
        QVERIFY(!injected.connect(user, QStringLiteral("x\r\nDELE 1"), QStringLiteral("127.0.0.1"),
                                  m_servers->pop3Port()));
        QVERIFY(!injected.log().contains(QStringLiteral("DELE")));
        QCOMPARE(m_servers->messageFiles(user).size(), 1);
    }

    void deletingAfterARangeKeepsTheRest()
    {
        const QString user = QStringLiteral("user09");
        QList<QByteArray> messages;
        for (int i = 1; i <= 5; ++i)
            messages << simpleMessage("message " + QByteArray::number(i));
        freshMailbox(user, messages);

        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, user), qPrintable(mailbox.log()));
        QCOMPARE(mailbox.count(), 5);
        QCOMPARE(mailbox.fetch(2).subject, QStringLiteral("message 2"));
        QCOMPARE(mailbox.fetch(3).subject, QStringLiteral("message 3"));
        QVERIFY2(mailbox.deleteMessages(), qPrintable(mailbox.log()));
        QVERIFY2(mailbox.disconnect(), qPrintable(mailbox.log()));
        const QString log = mailbox.log();
        QVERIFY(log.contains(QStringLiteral("C: DELE 2")));
        QVERIFY(log.contains(QStringLiteral("C: DELE 3")));
        QVERIFY2(!log.contains(QStringLiteral("DELE 1")) && !log.contains(QStringLiteral("DELE 4"))
                     && !log.contains(QStringLiteral("DELE 5")),
                 qPrintable(log));

        QVERIFY(m_servers->waitForMessageCount(user, 3));
        QStringList left;
        for (const QByteArray &raw : m_servers->messageContents(user))
            left << subjectOf(raw);
        QCOMPARE(left, (QStringList{QStringLiteral("message 1"), QStringLiteral("message 4"),
                                    QStringLiteral("message 5")}));
    }

    void hostileAttachmentNamesStayPlain()
    {
        const QString user = QStringLiteral("user10");
        const QList<QByteArray> dispositions = {
            "attachment; filename=\"../../x\"",
            "attachment; filename=\"/etc/passwd\"",
            "attachment; filename=\".bashrc\"",
            "attachment; filename=\"a;b.txt\"",
            "attachment; filename=\"\"",
            "attachment; filename=\"..\\\\..\\\\win.ini\"",
            "attachment; filename*=utf-8''evil%01%0Aname%E2%80%AEtxt.exe",
            "attachment; filename=\"=?utf-8?B?" + QByteArray("../../../tmp/encoded").toBase64() + "?=\"",
            "attachment; filename=\"..\"",
            "inline; filename=\"  ...hidden  \"",
        };
        QByteArray raw = "From: a@example.com\nSubject: names\nMIME-Version: 1.0\n"
                         "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nbody\n";
        for (int i = 0; i < dispositions.size(); ++i)
            raw += "--b\nContent-Type: application/octet-stream\nContent-Disposition: " + dispositions[i]
                + "\n\ncontent " + QByteArray::number(i) + "\n";
        raw += "--b--\n";
        freshMailbox(user, {crlf(raw)});

        QTemporaryDir outer;
        const QString folder = outer.path() + QStringLiteral("/inbox");
        QVERIFY(QDir().mkpath(folder));
        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, user), qPrintable(mailbox.log()));
        const FetchedMessage message = mailbox.fetch(1, folder);
        QVERIFY2(message.ok, qPrintable(message.error));
        QCOMPARE(message.body.trimmed(), QStringLiteral("body"));
        QCOMPARE(message.attachments.size(), dispositions.size());

        const QStringList expected = {
            QStringLiteral("x"), QStringLiteral("passwd"), QStringLiteral("bashrc"), QStringLiteral("a_b.txt"),
            QStringLiteral("附件5.bin"), QStringLiteral("win.ini"), QStringLiteral("evilnametxt.exe"),
            QStringLiteral("encoded"), QStringLiteral("附件9.bin"), QStringLiteral("hidden"),
        };
        for (int i = 0; i < message.attachments.size(); ++i) {
            const auto &attachment = message.attachments[i];
            QCOMPARE(attachment.name, expected[i]);
            QVERIFY(attachment.saved);
            QCOMPARE(attachment.content.trimmed(), "content " + QByteArray::number(i));
        }
        // Everything landed in the folder itself, nothing beside or above it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), dispositions.size());
        QCOMPARE(QDir(outer.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("inbox")});
        mailbox.disconnect();
    }

    void manySmallMessagesArePipelined()
    {
        const QString user = QStringLiteral("user11");
        constexpr int kMessages = 200;
        m_servers->clearMailbox(user);
        // Lines that begin with a dot go out with it doubled. The last
        // message begins like a status line, as any message may.
        for (int i = 1; i < kMessages; ++i)
            m_servers->deliver(user, simpleMessage("small " + QByteArray::number(i),
                                                   "Body " + QByteArray::number(i) + "\n.x\n.\n"));
        const QByteArray unreadable = crlf("+OK not a reply\n") + simpleMessage("small 200", "Body 200\n.x\n.\n");
        m_servers->deliver(user, unreadable);

        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, user), qPrintable(mailbox.log()));
        QCOMPARE(mailbox.count(), kMessages);
        mailbox.object().setProperty(QStringLiteral("lastmessage"), kMessages);
        for (int i = 1; i < kMessages; ++i) {
            const FetchedMessage message = mailbox.fetch(i);
            QVERIFY2(message.ok, qPrintable(message.error));
            QCOMPARE(message.subject, QStringLiteral("small %1").arg(i));
            QCOMPARE(message.body.trimmed(), QStringLiteral("Body %1\r\n.x\r\n.").arg(i));
        }
        // Beyond the parser: kept whole, as it came, and said so.
        const FetchedMessage last = mailbox.fetch(kMessages);
        QVERIFY2(last.ok, qPrintable(last.error));
        QVERIFY2(last.body.contains(QStringLiteral("无法读取")), qPrintable(last.body));
        QCOMPARE(last.attachments.size(), 1);
        QCOMPARE(last.attachments[0].name, QStringLiteral("附件1.eml"));
        QCOMPARE(last.attachments[0].content, unreadable);
        QVERIFY(mailbox.disconnect());
        const QString log = mailbox.log();
        QVERIFY(log.contains(QStringLiteral("PIPELINING")));
        // Each message asked for exactly once, none beyond the mailbox.
        QCOMPARE(log.count(QStringLiteral("C: RETR ")), kMessages);
        QVERIFY(!log.contains(QStringLiteral("RETR %1\n").arg(kMessages + 1)));
        // Commands went out ahead of the replies: RETR 2 before message 1 came.
        QVERIFY(log.indexOf(QStringLiteral("C: RETR 2\n")) < log.indexOf(QStringLiteral("（邮件 1，")));
        QCOMPARE(m_servers->messageFiles(user).size(), kMessages);
    }

    void largeMessagesPassThroughFiles()
    {
        // 48 MB of attachment, written and checked in pieces so that the
        // test itself stays small: the peak memory of this process shows
        // what the component holds.
        const QString user = QStringLiteral("user11");
        constexpr qsizetype kChunk = 57 * 1024; // whole base64 lines
        constexpr int kChunks = 862;            // about 48 MB
        QTemporaryFile source;
        QVERIFY(source.open());
        source.write(crlf("From: big@example.com\nSubject: large\nMIME-Version: 1.0\n"
                          "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nsee attachment\n"
                          "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment; filename=\"big.bin\"\n"
                          "Content-Transfer-Encoding: base64\n\n"));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QRandomGenerator generator(4711);
        QByteArray chunk(kChunk, Qt::Uninitialized);
        for (int i = 0; i < kChunks; ++i) {
            generator.fillRange(reinterpret_cast<quint32 *>(chunk.data()), kChunk / 4);
            hash.addData(chunk);
            source.write(crlf(base64Lines(chunk)));
        }
        source.write(crlf("--b--\n"));
        source.close();
        m_servers->clearMailbox(user);
        m_servers->deliverFile(user, source.fileName());

        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, user), qPrintable(mailbox.log()));
        const qint64 before = peakMemoryResetKb();
        const FetchedMessage message = mailbox.fetch(1);
        const qint64 peak = peakMemoryKb();
        QVERIFY2(message.ok, qPrintable(message.error));
        QCOMPARE(message.attachments.size(), 1);
        QCOMPARE(message.attachments[0].size, qint64(kChunk) * kChunks);
        QCOMPARE(message.attachments[0].sha256, hash.result());
        QVERIFY(mailbox.disconnect());
        if (before < 0)
            QSKIP("this kernel cannot reset the peak memory mark");
#ifdef __SANITIZE_ADDRESS__
        QSKIP("AddressSanitizer keeps freed memory aside, so the peak says nothing here");
#endif
        qInfo("peak memory grew by %lld kB while fetching", peak - before);
        QVERIFY2(peak - before < 24 * 1024,
                 qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(peak - before)));
    }

    void malformedMailIsReadAsWellAsItCanBe()
    {
        const QString user = QStringLiteral("user12");
        QByteArray nested;
        for (int depth = 0; depth < 300; ++depth)
            nested += "--n" + QByteArray::number(depth) + "\nContent-Type: multipart/mixed; boundary=\"n"
                + QByteArray::number(depth + 1) + "\"\n\n";
        const QList<QByteArray> messages = {
            // 1: no header at all
            crlf("just some text\nand more\n"),
            // 2: boundary never closed, base64 full of garbage, unknown charset
            crlf("From: x@example.com\nSubject: broken\nMIME-Version: 1.0\n"
                 "Content-Type: multipart/mixed; boundary=\"zz\"\n\n--zz\n"
                 "Content-Type: text/plain; charset=x-no-such-charset\n\n"
                 + QStringLiteral("正文 utf-8").toUtf8() + "\n--zz\n"
                 "Content-Type: application/pdf; name=\"bad.pdf\"\nContent-Transfer-Encoding: base64\n\n"
                 "!!!!not base64 at all@@@@\nQUJD\n"),
            // 3: a line of 3 MB
            crlf("From: x@example.com\nSubject: long line\n\n" + QByteArray(3 * 1024 * 1024, 'a') + "\nend\n"),
            // 4: raw 8-bit GBK header without any label, GBK body without charset
            crlf("From: " + encodeAs("GBK", QStringLiteral("王五镕")) + " <w@example.com>\nSubject: "
                 + encodeAs("GBK", QStringLiteral("原始八位标题")) + "\nDate: not a date at all\n\n"
                 + encodeAs("GBK", QStringLiteral("正文镕")) + "\n"),
            // 5: multiparts nested far too deep
            crlf("From: x@example.com\nSubject: deep\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"n0\"\n\n"
                 + nested + "--n300\nContent-Type: text/plain\n\ndeepest\n"),
            // 6: nothing at all
            QByteArray(),
        };
        freshMailbox(user, messages);

        Mailbox mailbox;
        QVERIFY2(logOn(mailbox, user), qPrintable(mailbox.log()));
        QCOMPARE(mailbox.count(), messages.size());

        FetchedMessage m = mailbox.fetch(1);
        QVERIFY2(m.ok, qPrintable(m.error));
        QVERIFY(m.subject.isEmpty());
        QVERIFY(!m.date.isValid());

        m = mailbox.fetch(2);
        QVERIFY2(m.ok, qPrintable(m.error));
        QCOMPARE(m.subject, QStringLiteral("broken"));
        QCOMPARE(m.body.trimmed(), QStringLiteral("正文 utf-8"));
        QCOMPARE(m.attachments.size(), 1);
        QCOMPARE(m.attachments[0].name, QStringLiteral("bad.pdf"));

        m = mailbox.fetch(3);
        QVERIFY2(m.ok, qPrintable(m.error));
        QCOMPARE(m.body.trimmed(), QString(3 * 1024 * 1024, QLatin1Char('a')) + QStringLiteral("\r\nend"));

        m = mailbox.fetch(4);
        QVERIFY2(m.ok, qPrintable(m.error));
        QCOMPARE(m.subject, QStringLiteral("原始八位标题"));
        QCOMPARE(m.fromName, QStringLiteral("王五镕"));
        QCOMPARE(m.body.trimmed(), QStringLiteral("正文镕"));
        QVERIFY(!m.date.isValid());

        m = mailbox.fetch(5);
        QVERIFY2(m.ok, qPrintable(m.error));
        QCOMPARE(m.subject, QStringLiteral("deep"));

        m = mailbox.fetch(6);
        QVERIFY2(m.ok, qPrintable(m.error));
        QVERIFY(m.subject.isEmpty() && m.body.isEmpty() && m.attachments.isEmpty());
        QVERIFY(mailbox.disconnect());
    }
};

QTEST_MAIN(TestPop3Fetch)
#include "tst_pop3_fetch.moc"
