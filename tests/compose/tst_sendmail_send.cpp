// SPDX-License-Identifier: MIT
// Sending from the compose form through the real engine, component and the
// test SMTP server: what arrives, and what the user is told.

// GLib names a struct member "signals", which Qt defines as a macro.
#include <gmime/gmime.h>

#include "engine/n_orvex.h"
#include "fixtures/mail_servers.h"
#include "platform/fonts.h"
#include "support/scripted_dialogs.h"
#include "watched_sendmail.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>


namespace {

// What a delivered message says, as a reader would see it.
struct Received {
    QString from;
    QString to;
    QString subject;
    QString text;
    QStringList attachmentNames;
    QList<QByteArray> attachmentContents;
};

QByteArray decodedContent(GMimePart *part)
{
    GMimeStream *memory = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), memory);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    const QByteArray result(reinterpret_cast<const char *>(bytes->data), int(bytes->len));
    g_object_unref(memory);
    return result;
}

void collectPart(GMimeObject *, GMimeObject *object, gpointer data)
{
    auto *received = static_cast<Received *>(data);
    if (!GMIME_IS_PART(object))
        return;
    GMimePart *part = GMIME_PART(object);
    if (g_mime_part_is_attachment(part)) {
        received->attachmentNames << QString::fromUtf8(g_mime_part_get_filename(part));
        received->attachmentContents << decodedContent(part);
    } else if (GMIME_IS_TEXT_PART(object) && received->text.isNull()) {
        char *text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
        received->text = QString::fromUtf8(text).remove(QLatin1Char('\r'));
        g_free(text);
    }
}

QString addressList(GMimeMessage *message, GMimeAddressType type)
{
    char *text = internet_address_list_to_string(g_mime_message_get_addresses(message, type), nullptr, FALSE);
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

std::optional<Received> parseMessage(const QByteArray &raw)
{
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size()));
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message)
        return std::nullopt;
    Received received;
    received.from = addressList(message, GMIME_ADDRESS_TYPE_FROM);
    received.to = addressList(message, GMIME_ADDRESS_TYPE_TO);
    received.subject = QString::fromUtf8(g_mime_message_get_subject(message));
    g_mime_message_foreach(message, collectPart, &received);
    g_object_unref(message);
    return received;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void fillServerFields(WatchedSendmail &form, const QString &host, const QString &port, const QString &user,
                      const QString &password)
{
    form.child<QLineEdit>("sle_server")->setText(host);
    form.child<QLineEdit>("sle_port")->setText(port);
    form.child<QLineEdit>("sle_userid")->setText(user);
    form.child<QLineEdit>("sle_password")->setText(password);
}

} // namespace

class SendmailSendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void sendFromTheFormArrivesWhole();
    void refusedLoginFailsWithTheReasonInTheLog();
    void portTextDecidesWhereTheSendGoes_data();
    void portTextDecidesWhereTheSendGoes();
    void serverOfOneSpaceReachesTheEngine();
    void unregisteredComponentIsReportedTwiceAndLeavesNoLog();

private:
    std::optional<TestServers> servers;
};

void SendmailSendTest::initTestCase()
{
    g_mime_init();
    platform::installFontSubstitutions();
    qputenv("ORVEX_COMPONENT", qgetenv("ORVEX_BIN_DIR") + "/liborvex.so");
    QVERIFY2(n_orvex().of_register(), "the component library could not be registered");
    servers = TestServers::load();
    if (servers)
        qputenv("ORVEX_CA_FILE", servers->caFile().toLocal8Bit());
}

void SendmailSendTest::sendFromTheFormArrivesWhole()
{
    if (!servers)
        QFAIL(qPrintable(TestServers::unavailableReason()));
    servers->clearMailbox(QStringLiteral("user13"));
    servers->clearMailbox(QStringLiteral("user14"));

    QTemporaryDir files;
    QByteArray binary;
    for (int i = 0; i < 70000; ++i)
        binary.append(char(i * 7 % 256));
    const QString first = writeFile(files, QStringLiteral("说明.txt"), QStringLiteral("附件一\n").toUtf8());
    const QString dropped = writeFile(files, QStringLiteral("dropped.txt"), "never sent");
    const QString third = writeFile(files, QStringLiteral("data.bin"), binary);

    ScriptedDialogs dialogs;
    dialogs.fileAnswers = {{1, first}, {1, dropped}, {1, third}, {1, first}};
    WatchedSendmail form(WatchedSendmail::Engine::Real);
    fillServerFields(form, QStringLiteral("localhost"), QString::number(servers->smtpPort()),
                     QStringLiteral("user13"), TestServers::password(QStringLiteral("user13")));
    form.child<QLineEdit>("sle_send_email")->setText(QStringLiteral("user13@localhost,user14@localhost"));
    form.child<QLineEdit>("sle_from_email")->setText(QStringLiteral("user13@localhost"));
    form.child<QLineEdit>("sle_from_name")->setText(QStringLiteral("发件人"));
    form.child<QLineEdit>("sle_subject")->setText(QStringLiteral("端到端测试"));
    form.child<QPlainTextEdit>("mle_body")->setPlainText(QStringLiteral("第一行\n第二行"));
    // Three rows, the second removed, and the first file once more.
    for (int i = 0; i < 3; ++i)
        form.press("cb_addfile");
    form.child<QListWidget>("lb_attachments")->item(1)->setSelected(true);
    form.press("cb_del");
    form.press("cb_addfile");

    form.press("cb_send");

    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("发送成功！")});
    QCOMPARE(dialogs.titles(), QStringList{QString()});
    QVERIFY2(form.log().count(QLatin1Char('\n')) > 2, qPrintable(form.log()));
    for (const char *user : {"user13", "user14"}) {
        QVERIFY2(servers->waitForMessageCount(QString::fromLatin1(user), 1), user);
        const QList<QByteArray> delivered = servers->messageContents(QString::fromLatin1(user));
        QCOMPARE(delivered.size(), 1);
        const std::optional<Received> mail = parseMessage(delivered.first());
        QVERIFY(mail);
        QVERIFY2(mail->from.contains(QStringLiteral("user13@localhost")), qPrintable(mail->from));
        QVERIFY2(mail->to.contains(QStringLiteral("user13@localhost")), qPrintable(mail->to));
        QVERIFY2(mail->to.contains(QStringLiteral("user14@localhost")), qPrintable(mail->to));
        QCOMPARE(mail->subject, QStringLiteral("端到端测试"));
        QCOMPARE(mail->text.trimmed(), QStringLiteral("第一行\n第二行"));
        QCOMPARE(mail->attachmentNames, QStringList({"说明.txt", "data.bin", "说明.txt"}));
        QCOMPARE(mail->attachmentContents,
                 (QList<QByteArray>{QStringLiteral("附件一\n").toUtf8(), binary, QStringLiteral("附件一\n").toUtf8()}));
    }
    // The form keeps everything for another send.
    QCOMPARE(form.child<QListWidget>("lb_attachments")->count(), 3);
    QCOMPARE(form.child<QLineEdit>("sle_subject")->text(), QStringLiteral("端到端测试"));
}

void SendmailSendTest::refusedLoginFailsWithTheReasonInTheLog()
{
    if (!servers)
        QFAIL(qPrintable(TestServers::unavailableReason()));
    servers->clearMailbox(QStringLiteral("user15"));
    ScriptedDialogs dialogs;
    WatchedSendmail form(WatchedSendmail::Engine::Real);
    fillServerFields(form, QStringLiteral("localhost"), QString::number(servers->smtpPort()),
                     QStringLiteral("user15"), QStringLiteral("not-the-password"));
    form.child<QLineEdit>("sle_send_email")->setText(QStringLiteral("user15@localhost"));
    form.child<QLineEdit>("sle_from_email")->setText(QStringLiteral("user15@localhost"));

    form.press("cb_send");

    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("发送失败！")});
    QCOMPARE(dialogs.titles(), QStringList{QString()});
    QVERIFY2(dialogs.details().value(0).contains(QStringLiteral("登录失败")), qPrintable(dialogs.details().value(0)));
    QVERIFY2(form.log().contains(QStringLiteral("535")), qPrintable(form.log()));
    QVERIFY(!form.log().contains(QStringLiteral("not-the-password")));
    QVERIFY(servers->messageFiles(QStringLiteral("user15")).isEmpty());
}

void SendmailSendTest::portTextDecidesWhereTheSendGoes_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port"); // typed into the field; null: its default left untouched
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QString>("target");
    const QString to = QStringLiteral("user16@localhost");
    QTest::newRow("letters") << "127.0.0.1" << "abc" << to << "无法连接 127.0.0.1:25";
    QTest::newRow("empty") << "127.0.0.1" << "" << to << "无法连接 127.0.0.1:25";
    QTest::newRow("587") << "127.0.0.1" << "587" << to << "无法连接 127.0.0.1:587";
    // A port typed into the server field counts when the port field is
    // empty or still holds its default; one typed there too must agree.
    QTest::newRow("port in the server field") << "127.0.0.1:587" << "" << to << "无法连接 127.0.0.1:587";
    QTest::newRow("port in the server field, default port") << "127.0.0.1:587" << QString() << to
                                                             << "无法连接 127.0.0.1:587";
    QTest::newRow("two different ports") << "127.0.0.1:587" << "25" << to << "写明了端口 587，与另给的端口 25 不一致";
    // A recipient list with a piece that is no address goes nowhere.
    QTest::newRow("semicolon and a word") << "127.0.0.1" << "" << to + ";nobody" << "收件人“nobody”不是一个邮件地址";
}

void SendmailSendTest::portTextDecidesWhereTheSendGoes()
{
    // Nothing listens on these ports here: the send fails, and the log and
    // the box name where it tried to go, or why it did not.
    QFETCH(QString, server);
    QFETCH(QString, port);
    QFETCH(QString, recipients);
    QFETCH(QString, target);
    ScriptedDialogs dialogs;
    WatchedSendmail form(WatchedSendmail::Engine::Real);
    fillServerFields(form, server, QStringLiteral("25"), QStringLiteral("user16"), QStringLiteral("pw"));
    if (!port.isNull()) {
        auto *portField = form.child<QLineEdit>("sle_port");
        portField->selectAll();
        QTest::keyClick(portField, Qt::Key_Backspace);
        QTest::keyClicks(portField, port);
    }
    form.child<QLineEdit>("sle_send_email")->setText(recipients);

    form.press("cb_send");

    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("发送失败！")});
    QCOMPARE(dialogs.titles(), QStringList{QString()});
    QVERIFY2(form.log().contains(target), qPrintable(form.log()));
    const QString reason = dialogs.details().value(0);
    QVERIFY2(!reason.isEmpty() && form.log().contains(reason), qPrintable(reason));
}

void SendmailSendTest::serverOfOneSpaceReachesTheEngine()
{
    ScriptedDialogs dialogs;
    WatchedSendmail form(WatchedSendmail::Engine::Real);
    fillServerFields(form, QStringLiteral(" "), QStringLiteral("25"), QStringLiteral("user16"), QStringLiteral("pw"));

    form.press("cb_send");

    // Past the checks: the engine tried and the server could not be found.
    QCOMPARE(form.handovers.size(), 1);
    QCOMPARE(form.handovers[0].smtp.host, QStringLiteral(" "));
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("发送失败！")});
    QCOMPARE(dialogs.titles(), QStringList{QString()});
    QVERIFY(!form.log().isEmpty());
}

void SendmailSendTest::unregisteredComponentIsReportedTwiceAndLeavesNoLog()
{
    QVERIFY(n_orvex().of_unregister());
    const auto reregister = qScopeGuard([] { n_orvex().of_register(); });
    ScriptedDialogs dialogs;
    WatchedSendmail form(WatchedSendmail::Engine::Real);
    fillServerFields(form, QStringLiteral("localhost"), QStringLiteral("25"), QStringLiteral("user16"),
                     QStringLiteral("pw"));
    form.child<QPlainTextEdit>("mle_2")->setPlainText(QStringLiteral("earlier log"));

    form.press("cb_send");

    QCOMPARE(dialogs.texts(), (QStringList{QStringLiteral("请先注册orvex组件！"), QStringLiteral("发送失败！")}));
    QCOMPARE(dialogs.titles(), (QStringList{QStringLiteral("提示"), QString()}));
    QCOMPARE(form.log(), QString());
}

QTEST_MAIN(SendmailSendTest)
#include "tst_sendmail_send.moc"
