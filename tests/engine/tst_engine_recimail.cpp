// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include "engine_test_support.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"
#include "fake_component.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using enginetest::entriesStartingWith;
using testfiles::readFile;
using testfiles::writeFile;

namespace {

fake::ScriptedMessage message(int n)
{
    fake::ScriptedMessage scripted;
    scripted.from = QStringLiteral("sender%1@example.cn").arg(n);
    scripted.fromname = QStringLiteral("发件人%1").arg(n);
    scripted.date = QDateTime(QDate(2024, 3, n % 28 + 1), QTime(9, 30));
    scripted.subject = QStringLiteral("主题%1").arg(n);
    scripted.htmlbody = QStringLiteral("<p>正文%1</p>").arg(n);
    scripted.body = QStringLiteral("正文%1").arg(n);
    return scripted;
}

QList<fake::ScriptedMessage> mailbox(int size)
{
    QList<fake::ScriptedMessage> messages;
    for (int n = 1; n <= size; ++n)
        messages.append(message(n));
    return messages;
}

// The journal with the scratch name each attachment was first saved to
// shown as "<scratch>".
QStringList withScratchNames(QStringList journal)
{
    static const QRegularExpression scratch("savetofile\\(.*/\\.orvex-fetch-[^/]*\\)$");
    for (QString &entry : journal)
        entry.replace(scratch, "savetofile(<scratch>)");
    return journal;
}

// The entries of `folder`, hidden ones too.
QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestEngineRecimail : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void callsTheComponentInOrder();
    void ranges_data();
    void ranges();
    void emptyMailboxStillDeletesWhenAsked();
    void nothingDeletedUnlessAsked();
    void recordFields();
    void recipientsPerMessage();
    void htmlBodyThreshold_data();
    void htmlBodyThreshold();
    void attachmentsInOrderBesideTheUsersFiles();
    void sameNameTwiceKeepsBothFiles();
    void namesWithPathCharactersStayInTheFolder();
    void port_data();
    void port();
    void existingRecordsStayFirst();
    void missingComponent_data();
    void missingComponent();
    void failedLogon_data();
    void failedLogon();
    void failingCallDuringFetch_data();
    void failingCallDuringFetch();
    void failingEndOfTransfer_data();
    void failingEndOfTransfer();

private:
    stru_pop3_login login(bool deleteAfterRead = false) const;
    int fetch(const QString &index, QList<stru_mail> &mail, bool deleteAfterRead = false);

    ScriptedDialogs *m_dialogs = nullptr;
    QTemporaryDir *m_folder = nullptr;
    n_orvex m_engine;
};

void TestEngineRecimail::initTestCase()
{
    enginetest::registerComponentClasses(QStringLiteral(ORVEX_FAKE_COMPONENT));
}

void TestEngineRecimail::init()
{
    fake::reset();
    m_dialogs = new ScriptedDialogs;
    m_folder = new QTemporaryDir;
    QVERIFY(m_folder->isValid());
    m_engine = n_orvex();
}

void TestEngineRecimail::cleanup()
{
    delete m_dialogs;
    m_dialogs = nullptr;
    delete m_folder;
    m_folder = nullptr;
}

stru_pop3_login TestEngineRecimail::login(bool deleteAfterRead) const
{
    stru_pop3_login pop3;
    pop3.host = "pop.example.cn";
    pop3.port = 0;
    pop3.username = "user";
    pop3.password = "secret";
    pop3.attachpath = m_folder->path() + "/";
    pop3.deleteafterread = deleteAfterRead;
    return pop3;
}

int TestEngineRecimail::fetch(const QString &index, QList<stru_mail> &mail, bool deleteAfterRead)
{
    return m_engine.of_recimail(login(deleteAfterRead), mail, index);
}

void TestEngineRecimail::callsTheComponentInOrder()
{
    fake::ScriptedMessage scripted = message(1);
    scripted.attachments = {{"a.txt", "first"}, {"b.txt", "second"}};
    fake::script().mailbox = {scripted};
    QList<stru_mail> mail;
    const auto handOver = [&mail](const stru_mail &record) {
        mail.append(record);
        fake::journal().append("record handed over");
    };
    const auto kept = [](QString *) {
        fake::journal().append("records kept");
        return true;
    };
    QCOMPARE(m_engine.of_recimail(login(true), handOver, "0-0", kept), 1);

    // Nothing leaves the server before every attachment is saved and the
    // caller holds the records; the log is read once the session ended.
    const QStringList journal = withScratchNames(fake::journal());
    const QString misplaced = enginetest::outOfOrder(
            journal, {"POP3.connect(user, secret, pop.example.cn, 110)", "POP3.count",
                      "Message1.Attachment0.savetofile(<scratch>)", "Message1.Attachment1.savetofile(<scratch>)",
                      "record handed over", "records kept", "POP3.deletemessages()", "POP3.disconnect()",
                      "POP3.log"});
    QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
    QVERIFY(journal.indexOf("POP3.count") > journal.indexOf("POP3.connect(user, secret, pop.example.cn, 110)"));
    QCOMPARE(entriesStartingWith(journal, "POP3.deletemessages").size(), 1);
    // Every object the engine made is released before it returns.
    QStringList released = entriesStartingWith(journal, "release ");
    released.sort();
    QCOMPARE(released, (QStringList{"release Attachment", "release Attachments", "release Message", "release POP3",
                                    "release Recipient", "release Recipients"}));
    QCOMPARE(m_engine.is_log, QString("component log"));
    QCOMPARE(mail.size(), 1);
    const QString folder = m_folder->path();
    QCOMPARE(mail[0].attachment, (QStringList{folder + "/a.txt", folder + "/b.txt"}));
    QCOMPARE(readFile(folder + "/b.txt"), QByteArray("second"));
    QCOMPARE(folderEntries(folder), (QStringList{"a.txt", "b.txt"}));
}

void TestEngineRecimail::ranges_data()
{
    QTest::addColumn<int>("size");             // messages in the mailbox
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("fetched");  // the messages read, by number
    QTest::addColumn<int>("lastWanted");       // the read-ahead bound the component is told
    QTest::newRow("all") << 3 << "0-0" << QStringList{"1", "2", "3"} << 3;
    QTest::newRow("two to three") << 3 << "2-3" << QStringList{"2", "3"} << 3;
    QTest::newRow("one message") << 3 << "2-2" << QStringList{"2"} << 2;
    QTest::newRow("reversed") << 3 << "3-2" << QStringList{} << 2;
    QTest::newRow("end beyond count") << 3 << "2-9" << QStringList{"2", "3"} << 3;
    QTest::newRow("start beyond count") << 3 << "4-9" << QStringList{} << 3;
    QTest::newRow("start below 1") << 3 << "0-2" << QStringList{"1", "2"} << 2;
    QTest::newRow("not numbers") << 3 << "a-b" << QStringList{} << 0;
    QTest::newRow("no dash") << 3 << "3" << QStringList{} << 0;
    QTest::newRow("empty") << 3 << "" << QStringList{} << 0;
    QTest::newRow("numbers past 32767") << 32769 << "32767-40000" << QStringList{"32767", "32768", "32769"}
                                        << 32769;
}

void TestEngineRecimail::ranges()
{
    QFETCH(int, size);
    QFETCH(QString, index);
    QFETCH(QStringList, fetched);
    QFETCH(int, lastWanted);
    fake::script().mailbox = mailbox(size);
    QList<stru_mail> mail;
    QCOMPARE(fetch(index, mail), 1);

    QStringList items;
    QStringList subjects;
    for (const QString &n : fetched) {
        items.append("Messages.item(" + n + ")");
        subjects.append("主题" + n);
    }
    QCOMPARE(entriesStartingWith(fake::journal(), "Messages.item"), items);
    QCOMPARE(entriesStartingWith(fake::journal(), "POP3.lastmessage"),
             QStringList{"POP3.lastmessage=" + QString::number(lastWanted)});
    QStringList got;
    for (const stru_mail &record : mail)
        got.append(record.subject);
    QCOMPARE(got, subjects);
    QVERIFY(fake::journal().contains("POP3.disconnect()"));
}

void TestEngineRecimail::emptyMailboxStillDeletesWhenAsked()
{
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail, true), 1);
    QVERIFY(mail.isEmpty());
    const QStringList journal = fake::journal();
    QCOMPARE(journal.mid(journal.indexOf("POP3.count")),
             (QStringList{"POP3.count", "POP3.lastmessage=0", "POP3.deletemessages()", "POP3.disconnect()", "POP3.log",
                          "Message.close()",
                          "release POP3", "release Message", "release Attachments", "release Attachment",
                          "release Recipients", "release Recipient"}));
}

void TestEngineRecimail::nothingDeletedUnlessAsked()
{
    fake::script().mailbox = mailbox(2);
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail, false), 1);
    QCOMPARE(mail.size(), 2);
    QCOMPARE(entriesStartingWith(fake::journal(), "POP3.deletemessages"), QStringList{});
}

void TestEngineRecimail::recordFields()
{
    fake::ScriptedMessage scripted = message(5);
    scripted.date = QString("Tue, 05 Mar 2024 14:30:00 +0800");
    fake::script().mailbox = {scripted};
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail), 1);
    QCOMPARE(mail.size(), 1);
    const stru_mail &record = mail[0];
    QCOMPARE(record.senderaddress, QString("sender5@example.cn"));
    QCOMPARE(record.sendername, QString("发件人5"));
    QCOMPARE(record.maildatetime, QDateTime(QDate(2024, 3, 5), QTime(14, 30), QTimeZone(8 * 3600)));
    QCOMPARE(record.subject, QString("主题5"));
    QCOMPARE(record.body, QString("<p>正文5</p>"));
    QVERIFY(record.html);
    QVERIFY(record.attachment.isEmpty());
}

void TestEngineRecimail::recipientsPerMessage()
{
    QList<fake::ScriptedMessage> messages = mailbox(3);
    messages[1].recipients = {"a@example.cn", "b@example.cn"};
    messages[2].recipients = {"c@example.cn"};
    fake::script().mailbox = messages;
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail), 1);
    QCOMPARE(mail.size(), 3);
    QCOMPARE(mail[0].recipientaddress1, QStringList{});
    QCOMPARE(mail[1].recipientaddress1, (QStringList{"a@example.cn", "b@example.cn"}));
    QCOMPARE(mail[2].recipientaddress1, QStringList{"c@example.cn"});
}

void TestEngineRecimail::htmlBodyThreshold_data()
{
    QTest::addColumn<QString>("htmlbody");
    QTest::addColumn<bool>("html");
    QTest::newRow("9 bytes") << "<b>abc</b" << false;
    QTest::newRow("10 bytes") << "<b>abc</b>" << true;
    QTest::newRow("9 bytes with Chinese") << "<b>中文</" << false;
    QTest::newRow("10 bytes with Chinese") << "<b>中文</b" << true;
    QTest::newRow("empty") << "" << false;
}

void TestEngineRecimail::htmlBodyThreshold()
{
    QFETCH(QString, htmlbody);
    QFETCH(bool, html);
    fake::ScriptedMessage scripted = message(1);
    scripted.htmlbody = htmlbody;
    scripted.body = "plain text";
    fake::script().mailbox = {scripted};
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail), 1);
    QCOMPARE(mail[0].html, html);
    QCOMPARE(mail[0].body, html ? htmlbody : QString("plain text"));
    QCOMPARE(entriesStartingWith(fake::journal(), "Message1.body").size(), html ? 0 : 1);
}

void TestEngineRecimail::attachmentsInOrderBesideTheUsersFiles()
{
    // The user's own files of the same names stay as they are; a file that
    // already holds the attachment's bytes is the attachment's file.
    const QString folder = m_folder->path() + "/";
    for (const auto &[name, content] : {std::pair{"a.txt", "the user's own notes"}, {"a (2).txt", "more notes"},
                                        {"报告.doc", "doc"}})
        writeFile(folder + QString::fromUtf8(name), content);

    fake::ScriptedMessage scripted = message(1);
    scripted.attachments = {{"a.txt", "new"}, {"报告.doc", "doc"}};
    fake::script().mailbox = {scripted};
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail), 1);
    QCOMPARE(mail[0].attachment, (QStringList{folder + "a (3).txt", folder + "报告.doc"}));
    QCOMPARE(readFile(folder + "a.txt"), QByteArray("the user's own notes"));
    QCOMPARE(readFile(folder + "a (2).txt"), QByteArray("more notes"));
    QCOMPARE(readFile(folder + "a (3).txt"), QByteArray("new"));
    QCOMPARE(readFile(folder + "报告.doc"), QByteArray("doc"));
    QCOMPARE(folderEntries(folder), (QStringList{"a (2).txt", "a (3).txt", "a.txt", "报告.doc"}));
}

void TestEngineRecimail::sameNameTwiceKeepsBothFiles()
{
    QList<fake::ScriptedMessage> messages = mailbox(2);
    messages[0].attachments = {{"a.txt", "one"}, {"a.txt", "two"}};
    messages[1].attachments = {{"a.txt", "three"}};
    fake::script().mailbox = messages;
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail), 1);
    const QString folder = m_folder->path() + "/";
    QCOMPARE(mail[0].attachment, (QStringList{folder + "a.txt", folder + "a (2).txt"}));
    QCOMPARE(mail[1].attachment, QStringList{folder + "a (3).txt"});
    QCOMPARE(readFile(folder + "a.txt"), QByteArray("one"));
    QCOMPARE(readFile(folder + "a (2).txt"), QByteArray("two"));
    QCOMPARE(readFile(folder + "a (3).txt"), QByteArray("three"));

    // Fetching the same messages again leaves one file each; a different
    // attachment of that name gets a name of its own.
    fake::reset();
    messages[1].attachments.append(fake::ScriptedAttachment{"a.txt", "four"});
    fake::script().mailbox = messages;
    mail.clear();
    QCOMPARE(fetch("0-0", mail), 1);
    QCOMPARE(mail[0].attachment, (QStringList{folder + "a.txt", folder + "a (2).txt"}));
    QCOMPARE(mail[1].attachment, (QStringList{folder + "a (3).txt", folder + "a (4).txt"}));
    QCOMPARE(readFile(folder + "a (4).txt"), QByteArray("four"));
    QCOMPARE(folderEntries(folder), (QStringList{"a (2).txt", "a (3).txt", "a (4).txt", "a.txt"}));
}

void TestEngineRecimail::namesWithPathCharactersStayInTheFolder()
{
    QTemporaryDir root;
    const QString inbox = root.path() + "/inbox";
    QVERIFY(QDir().mkpath(inbox));
    writeFile(root.path() + "/evil.txt", "keep me");

    fake::ScriptedMessage scripted = message(1);
    scripted.attachments = {{"../evil.txt", "x"}, {"/tmp/../etc/passwd", "y"}, {"..\\..\\win.ini", "z"}, {"..", "w"}};
    fake::script().mailbox = {scripted};
    stru_pop3_login pop3 = login();
    pop3.attachpath = inbox;
    QList<stru_mail> mail;
    QCOMPARE(m_engine.of_recimail(pop3, mail, "0-0"), 1);
    QCOMPARE(mail[0].attachment,
             (QStringList{inbox + "/evil.txt", inbox + "/passwd", inbox + "/win.ini", inbox + "/附件"}));
    QCOMPARE(readFile(root.path() + "/evil.txt"), QByteArray("keep me"));
    QCOMPARE(readFile(inbox + "/evil.txt"), QByteArray("x"));
    QCOMPARE(QDir(root.path()).entryList(QDir::Files), QStringList{"evil.txt"});
}

void TestEngineRecimail::port_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("connect"); // empty: the fetch fails before connecting
    const QString host = QStringLiteral("pop.example.cn");
    QTest::newRow("0 means 110") << host << 0 << "POP3.connect(user, secret, pop.example.cn, 110)";
    QTest::newRow("995") << host << 995 << "POP3.connect(user, secret, pop.example.cn, 995)";
    QTest::newRow("highest") << host << 65535 << "POP3.connect(user, secret, pop.example.cn, 65535)";
    QTest::newRow("port in the server field") << "pop3s://pop.example.cn:995" << 0
                                              << "POP3.connect(user, secret, pop3s://pop.example.cn, 995)";
    QTest::newRow("two different ports") << "pop.example.cn:995" << 110 << QString();
}

void TestEngineRecimail::port()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, connect);
    stru_pop3_login pop3 = login();
    pop3.host = host;
    pop3.port = quint16(port);
    QList<stru_mail> mail;
    QCOMPARE(m_engine.of_recimail(pop3, mail, "0-0"), connect.isEmpty() ? -1 : 1);
    QCOMPARE(entriesStartingWith(fake::journal(), "POP3.connect"),
             connect.isEmpty() ? QStringList() : QStringList{connect});
    if (connect.isEmpty())
        QVERIFY2(m_engine.of_getlasterror().contains(QStringLiteral("不一致")), qPrintable(m_engine.of_getlasterror()));
}

void TestEngineRecimail::existingRecordsStayFirst()
{
    fake::script().mailbox = mailbox(2);
    stru_mail earlier;
    earlier.subject = "earlier";
    QList<stru_mail> mail{earlier};
    QCOMPARE(fetch("0-0", mail), 1);
    QCOMPARE(mail.size(), 3);
    QCOMPARE(mail[0].subject, QString("earlier"));
    QCOMPARE(mail[1].subject, QString("主题1"));
    QCOMPARE(mail[2].subject, QString("主题2"));
}

void TestEngineRecimail::missingComponent_data()
{
    QTest::addColumn<int>("refused");  // position in the order of creation
    const QStringList classes{"orvex.POP3",        "orvex.Message",    "orvex.Attachments",
                              "orvex.Attachment", "orvex.Recipients", "orvex.Recipient"};
    for (int i = 0; i < classes.size(); ++i)
        QTest::newRow(qPrintable(classes[i])) << i;
}

void TestEngineRecimail::missingComponent()
{
    QFETCH(int, refused);
    const QStringList classes{"orvex.POP3",        "orvex.Message",    "orvex.Attachments",
                              "orvex.Attachment", "orvex.Recipients", "orvex.Recipient"};
    fake::script().refusedClasses = {classes[refused]};
    fake::script().mailbox = mailbox(1);
    m_engine.is_log = "earlier log";
    QList<stru_mail> mail;
    const int result = fetch("0-0", mail, true);
    QVERIFY(result < 0);
    QCOMPARE(m_dialogs->titles(), QStringList{"提示"});
    QCOMPARE(m_dialogs->texts(), QStringList{"请先注册orvex组件！"});
    QStringList made;
    for (int i = 0; i <= refused; ++i)
        made.append("new " + classes[i]);
    QStringList calls = fake::journal();
    calls.removeIf([](const QString &entry) { return entry.startsWith("release "); });
    QCOMPARE(calls, made);
    QVERIFY(mail.isEmpty());
    QCOMPARE(m_engine.is_log, QString("earlier log"));
}

void TestEngineRecimail::failedLogon_data()
{
    QTest::addColumn<bool>("raises");
    QTest::newRow("connect returns false") << false;
    QTest::newRow("connect raises an error") << true;
}

void TestEngineRecimail::failedLogon()
{
    QFETCH(bool, raises);
    fake::script().mailbox = mailbox(2);
    fake::script().log = "-ERR authentication failed";
    if (raises)
        fake::script().errors.insert("POP3.connect", "connection refused");
    else
        fake::script().connectResult = false;
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail, true), -1);
    QVERIFY(mail.isEmpty());
    // The component's log, then the reason in one line.
    QCOMPARE(m_engine.is_log, raises ? QString("-ERR authentication failed\n错误：“connect”出错：connection refused\n")
                                     : QString("-ERR authentication failed\n错误：无法登录到邮箱 pop.example.cn（端口 110）\n"));
    const QStringList journal = fake::journal();
    QCOMPARE(entriesStartingWith(journal, "POP3.deletemessages"), QStringList{});
    QCOMPARE(entriesStartingWith(journal, "Messages."), QStringList{});
    QVERIFY(journal.contains("POP3.disconnect()"));
    QVERIFY(journal.contains("release POP3"));
    QVERIFY(m_dialogs->messageBoxes.isEmpty());
}

void TestEngineRecimail::failingCallDuringFetch_data()
{
    QTest::addColumn<QString>("member");  // the failing call, as the script names it
    QTest::addColumn<bool>("raises");     // false: the call returns false instead
    QTest::addColumn<int>("complete");    // records that were complete before it
    QTest::addColumn<QString>("reason");  // the line the log ends with
    const QString raised = "the server went away";
    QTest::newRow("count") << "POP3.count" << true << 0 << "“count”出错：" + raised;
    QTest::newRow("messages") << "POP3.messages" << true << 0 << "“messages”出错：" + raised;
    QTest::newRow("second message's subject") << "Message2.subject" << true << 1 << "“subject”出错：" + raised;
    QTest::newRow("second message's date") << "Message2.date" << true << 1 << "“date”出错：" + raised;
    QTest::newRow("a recipient") << "Message2.Recipient0.email" << true << 1 << "“email”出错：" + raised;
    QTest::newRow("an attachment's name") << "Message2.Attachment0.name" << true << 1 << "“name”出错：" + raised;
    QTest::newRow("saving raises") << "Message2.Attachment0.savetofile" << true << 1
                                   << "附件“a.txt”没有保存到 <folder>/：“savetofile”出错：" + raised;
    QTest::newRow("saving returns false") << "Message2.Attachment0" << false << 1
                                          << QString("附件“a.txt”没有保存到 <folder>/");
    QTest::newRow("saving the first") << "Message1.Attachment0.savetofile" << true << 0
                                      << "附件“a.txt”没有保存到 <folder>/：“savetofile”出错：" + raised;
}

void TestEngineRecimail::failingCallDuringFetch()
{
    QFETCH(QString, member);
    QFETCH(bool, raises);
    QFETCH(int, complete);
    QFETCH(QString, reason);
    QList<fake::ScriptedMessage> messages = mailbox(3);
    for (fake::ScriptedMessage &scripted : messages) {
        scripted.recipients = {"to@example.cn"};
        scripted.attachments = {{"a.txt", "content"}};
    }
    fake::script().mailbox = messages;
    fake::script().log = "the log so far";
    if (raises)
        fake::script().errors.insert(member, "the server went away");
    else
        fake::script().refusedSaves = {member};

    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail, true), -1);
    // Messages read in full before the failure are kept; no half-read one.
    QCOMPARE(mail.size(), complete);
    for (const stru_mail &record : mail)
        QCOMPARE(record.attachment.size(), 1);
    reason.replace("<folder>", m_folder->path());
    QCOMPARE(m_engine.is_log, "the log so far\n错误：" + reason + "\n");
    const QStringList journal = fake::journal();
    QCOMPARE(entriesStartingWith(journal, "POP3.deletemessages"), QStringList{});
    QCOMPARE(entriesStartingWith(journal, "Messages.item(3)"), QStringList{});
    // Only the attachments of the complete messages are in the folder.
    QCOMPARE(folderEntries(m_folder->path()), complete ? QStringList{"a.txt"} : QStringList{});
    QVERIFY(journal.contains("POP3.log"));
    QVERIFY(journal.contains("POP3.disconnect()"));
    QVERIFY(journal.contains("release POP3"));
}

void TestEngineRecimail::failingEndOfTransfer_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("raises");           // false: it returns false
    QTest::addColumn<bool>("deleteAfterRead");
    QTest::addColumn<QString>("reason");        // the line the log ends with; empty: success
    QTest::addColumn<int>("result");
    const QString notDeleted = "服务器上的邮件没有删除，第 1 至 2 封邮件仍在服务器上";
    const QString notConfirmed = "服务器没有确认退出（QUIT），第 1 至 2 封邮件可能仍在服务器上";
    QTest::newRow("deleting raises") << "deletemessages" << true << true
                                     << notDeleted + "：“deletemessages”出错：connection reset" << -1;
    QTest::newRow("deleting refused") << "deletemessages" << false << true << notDeleted << -1;
    // Every message was read and saved; whether they are gone is unknown.
    const int unsure = n_orvex::kFetchedEndUnsure;
    QTest::newRow("logging off raises") << "disconnect" << true << true
                                        << notConfirmed + "：“disconnect”出错：connection reset" << unsure;
    QTest::newRow("logging off refused") << "disconnect" << false << true << notConfirmed << unsure;
    // With nothing to delete, the messages read are all the user asked for.
    QTest::newRow("logging off refused, nothing deleted") << "disconnect" << false << false << QString() << 1;
}

void TestEngineRecimail::failingEndOfTransfer()
{
    // The messages were read, but whether they left the server is unknown:
    // the fetch is not reported as a success, and the log says so.
    QFETCH(QString, member);
    QFETCH(bool, raises);
    QFETCH(bool, deleteAfterRead);
    QFETCH(QString, reason);
    QFETCH(int, result);
    fake::script().mailbox = mailbox(2);
    if (raises)
        fake::script().errors.insert("POP3." + member, "connection reset");
    else if (member == "deletemessages")
        fake::script().deleteResult = false;
    else
        fake::script().disconnectResult = false;
    QList<stru_mail> mail;
    QCOMPARE(fetch("0-0", mail, deleteAfterRead), result);
    QCOMPARE(mail.size(), 2);
    QCOMPARE(m_engine.is_warning.contains("第 1 至 2 封邮件可能已在服务器上删除"), result == n_orvex::kFetchedEndUnsure);
    QCOMPARE(m_engine.is_log, reason.isEmpty() ? QString("component log") : "component log\n错误：" + reason + "\n");
    // The log is read after logging off, so that it tells how that went.
    const QStringList journal = fake::journal();
    const QStringList end{"POP3.deletemessages()", "POP3.disconnect()", "POP3.log", "Message2.close()", "release POP3"};
    QCOMPARE(journal.mid(journal.indexOf(end[deleteAfterRead ? 0 : 1]), deleteAfterRead ? 5 : 4),
             end.mid(deleteAfterRead ? 0 : 1));
}

QTEST_GUILESS_MAIN(TestEngineRecimail)
#include "tst_engine_recimail.moc"
