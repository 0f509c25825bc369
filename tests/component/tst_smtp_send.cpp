// SPDX-License-Identifier: MIT
#include "smtp_test_support.h"

#include "component/native_path.h"
#include "engine/n_orvex.h"
#include "fixtures/mail_servers.h"
#include "support/test_files.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace smtptest;
using testfiles::readFile;
using testfiles::writeFile;

// Sending through the real component to the real SMTP server of the test
// fixture, which delivers into the Maildirs; what arrived is taken apart
// with GMime and compared with what was sent.
class TestSmtpSend : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void chineseMessageWithAttachmentsArrivesIntact();
    void textOutsideGb2312GoesOutAsUtf8();
    void leadingDotsSurviveTheTransfer();
    void htmlMessageCarriesItsTextAsPlainTextFirst();
    void lineBreakInFileNameStartsNoHeader();
    void longSubjectIsWrittenInShortLines();
    void implicitTlsWithScheme_data();
    void implicitTlsWithScheme();
    void wrongPasswordFailsWithoutShowingIt_data();
    void wrongPasswordFailsWithoutShowingIt();
    void refusedRecipientFailsTheSend();
    void unreadableAttachmentFailsBeforeConnecting_data();
    void unreadableAttachmentFailsBeforeConnecting();
    void untrustedCertificateIsRefused();
    void internationalAddresses_data();
    void internationalAddresses();
    void sizeLimitAndLoginFallback();

private:
    QString starttlsServer() const { return QStringLiteral("127.0.0.1:%1").arg(m_servers->smtpPort()); }
    // A short message from `user` to `user`, without a login.
    static Outgoing mailToSelf(const QString &user);
    // The only message now in `user`'s mailbox, parsed.
    Received onlyMessageOf(const QString &user, QByteArray *raw = nullptr);
    // The envelope the server recorded for the newest message to `user`.
    QJsonObject envelopeOf(const QString &user);

    std::optional<TestServers> m_servers;
    QTemporaryDir m_files;
};

void TestSmtpSend::initTestCase()
{
    m_servers = TestServers::load();
    if (!m_servers)
        QFAIL(qPrintable(TestServers::unavailableReason()));
    qputenv("ORVEX_CA_FILE", m_servers->caFile().toLocal8Bit());
    QVERIFY(m_files.isValid());
}

Outgoing TestSmtpSend::mailToSelf(const QString &user)
{
    Outgoing mail;
    mail.from = user + QStringLiteral("@example.cn");
    mail.recipients = {mail.from};
    mail.subject = QStringLiteral("x");
    mail.body = QStringLiteral("x");
    return mail;
}

Received TestSmtpSend::onlyMessageOf(const QString &user, QByteArray *raw)
{
    const QStringList files = m_servers->messageFiles(user);
    if (files.size() != 1) {
        qWarning("%s holds %d messages, expected 1", qPrintable(user), int(files.size()));
        return {};
    }
    const QByteArray content = readFile(files.first());
    if (raw)
        *raw = content;
    return parse(content);
}

QJsonObject TestSmtpSend::envelopeOf(const QString &user)
{
    QDir capture(m_servers->captureDir());
    QFileInfoList envelopes = capture.entryInfoList({QStringLiteral("*.json")}, QDir::Files);
    std::sort(envelopes.begin(), envelopes.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return a.baseName().toInt() > b.baseName().toInt();
    });
    for (const QFileInfo &info : std::as_const(envelopes)) {
        const QJsonObject envelope = QJsonDocument::fromJson(readFile(info.filePath())).object();
        for (const QJsonValue &recipient : envelope.value(QStringLiteral("rcpt_tos")).toArray())
            if (recipient.toString().startsWith(user + QLatin1Char('@')))
                return envelope;
    }
    return {};
}

void TestSmtpSend::chineseMessageWithAttachmentsArrivesIntact()
{
    m_servers->clearMailbox(QStringLiteral("user01"));
    m_servers->clearMailbox(QStringLiteral("user02"));

    const QString report = m_files.filePath(QStringLiteral("季度报告 2026.txt"));
    const QByteArray reportContent = QStringLiteral("第一季度\r\n收入：一百万\r\n").toUtf8();
    writeFile(report, reportContent);
    const QString big = m_files.filePath(QStringLiteral("data.bin"));
    QByteArray bigContent(6 * 1024 * 1024 + 123, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(bigContent.data()), bigContent.size() / 4);
    writeFile(big, bigContent);

    Outgoing mail;
    mail.from = QStringLiteral("user01@example.cn");
    mail.fromName = QStringLiteral("张三");
    mail.recipients = {QStringLiteral("user01@example.cn"), QStringLiteral("user02@example.cn")};
    mail.subject = QStringLiteral("测试邮件：季度报告");
    mail.body = QStringLiteral("你好，\r\n请看附件。");
    // A charset declaration that agrees with what goes out stays as written.
    mail.htmlBody = QStringLiteral("<html><head><META http-equiv=Content-Type content=\"text/html; charset=gb2312\">"
                                   "</head><body><h2>你好</h2><p>请看附件。</p></body></html>");
    mail.attachments = {report, big};
    mail.returnReceipt = true;
    mail.user = QStringLiteral("user01");
    mail.password = TestServers::password(QStringLiteral("user01"));

    const SendResult result = send(mail, starttlsServer());
    QVERIFY2(result.sent, qPrintable(result.log));

    for (const QString &user : {QStringLiteral("user01"), QStringLiteral("user02")}) {
        QByteArray raw;
        const Received received = onlyMessageOf(user, &raw);
        QVERIFY(received.parsed);
        QCOMPARE(received.subject, mail.subject);
        QCOMPARE(received.fromName, mail.fromName);
        QCOMPARE(received.fromAddress, mail.from);
        QCOMPARE(received.to, mail.recipients);
        QCOMPARE(received.topType, QStringLiteral("multipart/mixed"));
        QCOMPARE(received.parts.size(), 4);

        QCOMPARE(received.parts[0].mimeType, QStringLiteral("text/plain"));
        QCOMPARE(received.parts[0].charset, QStringLiteral("gb2312"));
        QCOMPARE(lf(received.parts[0].text), lf(mail.body));
        QCOMPARE(received.parts[1].mimeType, QStringLiteral("text/html"));
        QCOMPARE(received.parts[1].charset, QStringLiteral("gb2312"));
        QCOMPARE(received.parts[1].text, mail.htmlBody);

        QCOMPARE(received.parts[2].filename, QStringLiteral("季度报告 2026.txt"));
        QCOMPARE(received.parts[2].mimeType, QStringLiteral("text/plain"));
        QCOMPARE(received.parts[2].charset, QStringLiteral("utf-8"));
        QVERIFY(received.parts[2].content == reportContent);
        QCOMPARE(received.parts[3].filename, QStringLiteral("data.bin"));
        QCOMPARE(received.parts[3].mimeType, QStringLiteral("application/octet-stream"));
        QVERIFY(received.parts[3].content == bigContent);

        // Written so that readers of either convention find the same
        // names: RFC 2231 and RFC 2047, both in UTF-8.
        QVERIFY(received.header("Subject").toLower().startsWith("=?gb2312?"));
        QVERIFY(received.header("From").toLower().contains("=?gb2312?"));
        QVERIFY2(raw.toLower().contains("filename*=utf-8''"), raw.left(4000).constData());
        QVERIFY(QRegularExpression(QStringLiteral("name=\"=\\?utf-8\\?[bq]\\?"), QRegularExpression::CaseInsensitiveOption)
                    .match(QString::fromLatin1(raw))
                    .hasMatch());

        QCOMPARE(received.header("X-Priority"), QByteArray("3 (Normal)"));
        QVERIFY(received.header("Disposition-Notification-To").contains("<user01@example.cn>"));
        QVERIFY(QDateTime::fromString(QString::fromLatin1(received.header("Date")), Qt::RFC2822Date).isValid());
        QVERIFY(QRegularExpression(QStringLiteral("^<[^@<>\\s]+@example\\.cn>$"))
                    .match(QString::fromLatin1(received.header("Message-ID")))
                    .hasMatch());
    }

    const QJsonObject envelope = envelopeOf(QStringLiteral("user02"));
    QCOMPARE(envelope.value(QStringLiteral("login")).toString(), QStringLiteral("user01"));
    QVERIFY(envelope.value(QStringLiteral("tls")).toBool());
    QCOMPARE(envelope.value(QStringLiteral("rcpt_tos")).toArray().size(), 2);

    // The log: the dialogue line by line, the data as one line with its size.
    QVERIFY(result.log.contains(QStringLiteral("C: STARTTLS")));
    QVERIFY(result.log.contains(QStringLiteral("C: RCPT TO:<user02@example.cn>")));
    const QRegularExpressionMatch data = QRegularExpression(QStringLiteral("C: <邮件数据，共 (\\d+) 字节>")).match(result.log);
    QVERIFY2(data.hasMatch(), qPrintable(result.log));
    QVERIFY(data.captured(1).toLongLong() > bigContent.size() * 4 / 3);
    QVERIFY(!result.log.contains(mail.password));
    QVERIFY(!result.log.contains(QString::fromLatin1(QByteArray("\0user01\0" + mail.password.toUtf8(), 15 + mail.password.size()).toBase64())));
}

void TestSmtpSend::textOutsideGb2312GoesOutAsUtf8()
{
    const QString user = QStringLiteral("user03");
    m_servers->clearMailbox(user);
    // 镕 is GBK but not GB2312; € and the emoji are in neither.
    const QString attachment = m_files.filePath(QStringLiteral("朱镕基.txt"));
    writeFile(attachment, "\xD6\xD0\xCE\xC4"); // "中文" in GB2312, not valid UTF-8
    // File names that are not UTF-8 either, as old disks and archives have
    // them: the file is found by its bytes and named in characters.
    QStringList byteNamed;
    for (const QByteArray &name : {QByteArray("\xD6\xD0\xCE\xC4.txt"), QByteArray("caf\xE9.txt")}) {
        const QByteArray path = QFile::encodeName(m_files.path()) + '/' + name;
        FILE *file = std::fopen(path.constData(), "wb");
        QVERIFY(file && std::fputs(name.constData(), file) >= 0 && std::fclose(file) == 0);
        byteNamed << component::pathFromNative(path);
    }
    Outgoing mail;
    mail.from = QStringLiteral("sender@example.cn");
    mail.fromName = QStringLiteral("王€");
    mail.recipients = {QStringLiteral("user03@example.cn")};
    mail.subject = QStringLiteral("朱镕基");
    mail.body = QStringLiteral("表情 😀 与中文");
    // The wrapped template declares gb2312; the text needs UTF-8.
    mail.htmlBody = QStringLiteral("<META http-equiv=Content-Type content=\"text/html; charset=gb2312\">"
                                   "<br>表情 😀</h2>");
    mail.attachments = QStringList{attachment} + byteNamed;

    const SendResult result = send(mail, starttlsServer());
    QVERIFY2(result.sent, qPrintable(result.log));
    QVERIFY2(!result.log.contains(QStringLiteral("C: AUTH")), "no login was asked for");

    const Received received = onlyMessageOf(user);
    QVERIFY(received.parsed);
    QCOMPARE(received.subject, mail.subject);
    QVERIFY(received.header("Subject").toLower().startsWith("=?utf-8?"));
    QCOMPARE(received.fromName, mail.fromName);
    QVERIFY(received.header("From").toLower().contains("=?utf-8?"));
    QCOMPARE(received.parts.size(), 5);
    QCOMPARE(received.parts[0].charset, QStringLiteral("utf-8"));
    QCOMPARE(received.parts[0].text, mail.body);
    QCOMPARE(received.parts[1].charset, QStringLiteral("utf-8"));
    QCOMPARE(received.parts[1].text, QString(mail.htmlBody).replace(QStringLiteral("gb2312"), QStringLiteral("utf-8")));
    QCOMPARE(received.parts[2].filename, QStringLiteral("朱镕基.txt"));
    QCOMPARE(received.parts[2].charset, QStringLiteral("gb2312"));
    QVERIFY(received.parts[2].content == "\xD6\xD0\xCE\xC4");
    QCOMPARE(received.parts[3].filename, QStringLiteral("中文.txt"));
    QVERIFY(received.parts[3].content == "\xD6\xD0\xCE\xC4.txt");
    QCOMPARE(received.parts[4].filename, QStringLiteral("café.txt"));
    QVERIFY(received.parts[4].content == "caf\xE9.txt");
}

void TestSmtpSend::leadingDotsSurviveTheTransfer()
{
    const QString user = QStringLiteral("user03");
    m_servers->clearMailbox(user);
    Outgoing mail;
    mail.charset = QStringLiteral("utf-8");
    mail.from = QStringLiteral("sender@example.cn");
    mail.recipients = {QStringLiteral("user03@example.cn")};
    mail.subject = QStringLiteral("dots");
    // A line of one dot would end the data early if it were not doubled.
    mail.body = QStringLiteral("first\r\n.\r\n..two\r\n.three\r\nlast");

    const SendResult result = send(mail, starttlsServer());
    QVERIFY2(result.sent, qPrintable(result.log));
    const Received received = onlyMessageOf(user);
    QCOMPARE(received.parts.size(), 1);
    QCOMPARE(lf(received.parts[0].text).trimmed(), lf(mail.body));
}

void TestSmtpSend::htmlMessageCarriesItsTextAsPlainTextFirst()
{
    const QString user = QStringLiteral("user05");
    m_servers->clearMailbox(user);
    Outgoing mail = mailToSelf(user);
    mail.body.clear();
    mail.htmlBody = QStringLiteral("<p>你好，</p><p>请看<a href=\"https://example.cn/r\">报告</a> &amp; 回复。</p>");

    const SendResult result = send(mail, starttlsServer());
    QVERIFY2(result.sent, qPrintable(result.log));
    const Received received = onlyMessageOf(user);
    QCOMPARE(received.topType, QStringLiteral("multipart/alternative"));
    QCOMPARE(received.parts.size(), 2);
    QCOMPARE(received.parts[0].mimeType, QStringLiteral("text/plain"));
    QCOMPARE(lf(received.parts[0].text), QStringLiteral("你好，\n请看报告 <https://example.cn/r> & 回复。"));
    QCOMPARE(received.parts[1].mimeType, QStringLiteral("text/html"));
    QCOMPARE(received.parts[1].text, mail.htmlBody);
}

void TestSmtpSend::lineBreakInFileNameStartsNoHeader()
{
    const QString user = QStringLiteral("user05");
    m_servers->clearMailbox(user);
    const QString path = m_files.filePath(QStringLiteral("report\r\nX-Injected: yes\r\n.txt"));
    writeFile(path, "content");
    Outgoing mail = mailToSelf(user);
    mail.attachments = {path};

    const SendResult result = send(mail, starttlsServer());
    QVERIFY2(result.sent, qPrintable(result.log));
    QByteArray raw;
    const Received received = onlyMessageOf(user, &raw);
    QVERIFY(!raw.contains("\nX-Injected"));
    QCOMPARE(received.parts.size(), 2);
    QCOMPARE(received.parts[1].filename, QStringLiteral("report__X-Injected: yes__.txt"));
    QVERIFY(received.parts[1].content == "content");
}

void TestSmtpSend::longSubjectIsWrittenInShortLines()
{
    const QString user = QStringLiteral("user05");
    m_servers->clearMailbox(user);
    Outgoing mail = mailToSelf(user);
    mail.subject = QStringLiteral("关于二零二六年第一季度销售报告的补充说明以及下一季度工作计划安排的通知，请各部门负责人务必仔细阅读 v2");

    const SendResult result = send(mail, starttlsServer());
    QVERIFY2(result.sent, qPrintable(result.log));
    QByteArray raw;
    const Received received = onlyMessageOf(user, &raw);
    QCOMPARE(received.subject, mail.subject);
    const QByteArray headers = raw.left(raw.indexOf("\r\n\r\n"));
    for (const QByteArray &line : headers.split('\n'))
        QVERIFY2(line.size() <= 79, line.constData()); // 78 columns and the CR
}

void TestSmtpSend::implicitTlsWithScheme_data()
{
    QTest::addColumn<QString>("host");
    QTest::newRow("address") << QStringLiteral("smtps://127.0.0.1");
    QTest::newRow("name, scheme in capitals") << QStringLiteral("SMTPS://localhost");
}

void TestSmtpSend::implicitTlsWithScheme()
{
    QFETCH(QString, host);
    const QString user = QStringLiteral("user04");
    m_servers->clearMailbox(user);
    Outgoing mail = mailToSelf(user);
    mail.subject = QStringLiteral("隐式 TLS");
    mail.user = user;
    mail.password = TestServers::password(user);

    const SendResult result = send(mail, QStringLiteral("%1:%2").arg(host).arg(m_servers->smtpsPort()));
    QVERIFY2(result.sent, qPrintable(result.log));
    QVERIFY(!result.log.contains(QStringLiteral("STARTTLS")));
    QVERIFY(result.log.contains(QStringLiteral("已建立加密连接")));
    QCOMPARE(onlyMessageOf(user).subject, mail.subject);
    const QJsonObject envelope = envelopeOf(user);
    QVERIFY(envelope.value(QStringLiteral("tls")).toBool());
    QCOMPARE(envelope.value(QStringLiteral("login")).toString(), user);
}

void TestSmtpSend::wrongPasswordFailsWithoutShowingIt_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("silent") << true;
    QTest::newRow("raising") << false;
}

void TestSmtpSend::wrongPasswordFailsWithoutShowingIt()
{
    QFETCH(bool, silent);
    const QString user = QStringLiteral("user04");
    m_servers->clearMailbox(user);
    Outgoing mail = mailToSelf(user);
    mail.user = user;
    mail.password = QStringLiteral("Not-The-Secret-42");
    mail.silent = silent;

    const SendResult result = send(mail, starttlsServer());
    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(QStringLiteral("S: 535")), qPrintable(result.log));
    QVERIFY(result.log.contains(QStringLiteral("登录失败")));
    QCOMPARE(result.raisedError.isEmpty(), silent);
    if (!silent)
        QVERIFY(result.raisedError.contains(QStringLiteral("登录失败")));
    const QByteArray plainBlob = QByteArray("\0user04\0", 8) + mail.password.toUtf8();
    for (const QString &secret : {mail.password, QString::fromLatin1(plainBlob.toBase64()),
                                  QString::fromLatin1(mail.password.toUtf8().toBase64())})
        QVERIFY2(!result.log.contains(secret), qPrintable(result.log));
    QVERIFY(m_servers->messageFiles(user).isEmpty());
}

void TestSmtpSend::refusedRecipientFailsTheSend()
{
    const QString user = QStringLiteral("user05");
    m_servers->clearMailbox(user);
    Outgoing mail = mailToSelf(user);
    mail.recipients.prepend(QStringLiteral("nobody@example.cn"));

    const SendResult result = send(mail, starttlsServer());
    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(QStringLiteral("nobody@example.cn")) && result.log.contains(QStringLiteral("550")),
             qPrintable(result.log));
    QVERIFY(!result.log.contains(QStringLiteral("C: DATA")));
    QVERIFY(m_servers->messageFiles(user).isEmpty());
}

void TestSmtpSend::unreadableAttachmentFailsBeforeConnecting_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << m_files.filePath(QStringLiteral("不存在.doc"));
    QTest::newRow("folder") << m_files.path();
}

void TestSmtpSend::unreadableAttachmentFailsBeforeConnecting()
{
    QFETCH(QString, path);
    const QString user = QStringLiteral("user05");
    m_servers->clearMailbox(user);
    Outgoing mail = mailToSelf(user);
    mail.attachments = {path};

    const SendResult result = send(mail, starttlsServer());
    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(path), qPrintable(result.log));
    QVERIFY(!result.log.contains(QStringLiteral("连接")));
    QVERIFY(m_servers->messageFiles(user).isEmpty());
}

void TestSmtpSend::untrustedCertificateIsRefused()
{
    const QByteArray caFile = qgetenv("ORVEX_CA_FILE");
    qunsetenv("ORVEX_CA_FILE");
    Outgoing mail = mailToSelf(QStringLiteral("user05"));
    mail.user = QStringLiteral("user05");
    mail.password = TestServers::password(mail.user);
    const SendResult result = send(mail, starttlsServer());
    qputenv("ORVEX_CA_FILE", caFile);

    QVERIFY(!result.sent);
    QVERIFY2(result.log.contains(QStringLiteral("证书")), qPrintable(result.log));
    QVERIFY(!result.log.contains(QStringLiteral("C: AUTH")));
}

void TestSmtpSend::internationalAddresses_data()
{
    QTest::addColumn<bool>("smtpUtf8");    // send through the server that offers SMTPUTF8
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("envelopeFrom"); // empty: nothing may be sent
    const QString chinese = QStringLiteral("张三@例子.中国");
    const QString unicodeDomain = QStringLiteral("user38@例子.中国");
    const QString aLabels = QStringLiteral("user38@xn--fsqu00a.xn--fiqs8s");
    // Fetched back, every address reads as the user wrote it, in Unicode.
    QTest::newRow("SMTPUTF8, Chinese local part") << true << chinese << chinese;
    QTest::newRow("SMTPUTF8, Unicode domain") << true << unicodeDomain << unicodeDomain;
    QTest::newRow("no SMTPUTF8, Unicode domain as A-label") << false << unicodeDomain << aLabels;
    QTest::newRow("no SMTPUTF8, A-label given") << false << aLabels << aLabels;
    QTest::newRow("no SMTPUTF8, Chinese local part") << false << chinese << QString();
}

// Sent, then fetched back from Dovecot through the engine as the receive
// window does: what arrives is the address as written.
void TestSmtpSend::internationalAddresses()
{
    QFETCH(bool, smtpUtf8);
    QFETCH(QString, from);
    QFETCH(QString, envelopeFrom);
    const QString user = QStringLiteral("user38");
    m_servers->clearMailbox(user);
    Outgoing mail;
    mail.from = from;
    mail.fromName = QStringLiteral("张三");
    mail.recipients = {QStringLiteral("user38@例子.中国")};
    mail.subject = QStringLiteral("国际化地址");
    mail.body = QStringLiteral("正文");
    const int port = smtpUtf8 ? m_servers->smtpUtf8Port() : m_servers->smtpPort();
    const SendResult result = send(mail, QStringLiteral("127.0.0.1:%1").arg(port));

    if (envelopeFrom.isEmpty()) {
        QVERIFY(!result.sent);
        QVERIFY2(result.log.contains(QStringLiteral("SMTPUTF8")), qPrintable(result.log));
        QVERIFY(!result.log.contains(QStringLiteral("MAIL FROM")));
        QVERIFY(m_servers->messageFiles(user).isEmpty());
        return;
    }
    QVERIFY2(result.sent, qPrintable(result.log));
    const QJsonObject envelope = envelopeOf(user);
    QCOMPARE(envelope.value(QStringLiteral("mail_from")).toString(), envelopeFrom);
    QCOMPARE(envelope.value(QStringLiteral("mail_options")).toArray().contains(QStringLiteral("SMTPUTF8")), smtpUtf8);

    QByteArray raw;
    const Received received = onlyMessageOf(user, &raw);
    QVERIFY(received.header("From").endsWith("<" + envelopeFrom.toUtf8() + ">"));
    QCOMPARE(received.header("To"), smtpUtf8 ? QString("user38@例子.中国").toUtf8()
                                             : QByteArray("user38@xn--fsqu00a.xn--fiqs8s"));

    n_orvex engine;
    stru_pop3_login pop3;
    pop3.host = QStringLiteral("127.0.0.1");
    pop3.port = quint16(m_servers->pop3Port());
    pop3.username = user;
    pop3.password = TestServers::password(user);
    pop3.attachpath = m_files.path() + QLatin1Char('/');
    QList<stru_mail> fetched;
    QCOMPARE(engine.of_recimail(pop3, fetched, QStringLiteral("0-0")), 1);
    QCOMPARE(fetched.size(), 1);
    QCOMPARE(fetched[0].senderaddress,
             QString(from).replace(QStringLiteral("xn--fsqu00a.xn--fiqs8s"), QStringLiteral("例子.中国")));
    QCOMPARE(fetched[0].recipientaddress1, QStringList{QStringLiteral("user38@例子.中国")});
    QCOMPARE(fetched[0].sendername, mail.fromName);
    QCOMPARE(fetched[0].subject, mail.subject);
}

// The third server offers SIZE and a CRAM-MD5 that refuses every password.
void TestSmtpSend::sizeLimitAndLoginFallback()
{
    const QString user = QStringLiteral("user39");
    m_servers->clearMailbox(user);
    const QString big = m_files.filePath(QStringLiteral("big.bin"));
    writeFile(big, QByteArray(2 * 1024 * 1024, 'x'));
    Outgoing mail = mailToSelf(user);
    mail.user = user;
    mail.password = TestServers::password(user);
    const QString server = QStringLiteral("127.0.0.1:%1").arg(m_servers->smtpUtf8Port());

    const SendResult small = send(mail, server);
    QVERIFY2(small.sent, qPrintable(small.log));
    QVERIFY(small.log.contains(QStringLiteral("C: AUTH CRAM-MD5")));
    QVERIFY(small.log.contains(QStringLiteral("改用 PLAIN")));
    QVERIFY(QRegularExpression(QStringLiteral("C: MAIL FROM:<user39@example.cn> SIZE=\\d+\n")).match(small.log).hasMatch());
    QVERIFY(!small.log.contains(mail.password));

    mail.attachments = {big};
    const SendResult large = send(mail, server);
    QVERIFY(!large.sent);
    QVERIFY2(large.log.contains(QStringLiteral("1048576")), qPrintable(large.log));
    QVERIFY(!large.log.contains(QStringLiteral("MAIL FROM")));
    QCOMPARE(m_servers->messageFiles(user).size(), 1);
}

QTEST_GUILESS_MAIN(TestSmtpSend)
#include "tst_smtp_send.moc"
