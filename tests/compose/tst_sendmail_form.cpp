// SPDX-License-Identifier: MIT
// The compose form without a mail server: its controls, defaults, focus and
// tab order, the attachment list, what the send action hands over, and a
// form filled from a mailto: link.

#include "compose/mailto_link.h"
#include "frame/w_main.h"
#include "platform/layout_units.h"
#include "platform/files.h"
#include "platform/fonts.h"
#include "support/control_kinds.h"
#include "support/scripted_dialogs.h"
#include "watched_sendmail.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

void showActive(QWidget &w)
{
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

} // namespace

class SendmailFormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { platform::installFontSubstitutions(); }

    void freshFormHoldsTheDesignDefaults();
    void everyControlIsThereWithItsKind();
    void opensInTheFrameWithTheCaretInThePassword();
    void tabVisitsEveryControlInReadingOrder();
    void earlierControlsLieOnTop();
    void fixedNoteIsReadOnlyAndTheLogEditable();

    void validationStopsAtTheFirstEmptyField_data();
    void validationStopsAtTheFirstEmptyField();
    void formIsHandedOverAsTyped();
    void portTextBecomesANumberOrZero_data();
    void portTextBecomesANumberOrZero();

    void addAsksForOneFileAndRestoresTheDirectory_data();
    void addAsksForOneFileAndRestoresTheDirectory();
    void deleteRemovesTheSelectedRowOnly();
    void sameFileTwiceIsHandedOverTwice();
    void pressingAgainSendsAgainAndKeepsTheForm();

    void mailtoLinkFillsTheMessage_data();
    void mailtoLinkFillsTheMessage();
};

void SendmailFormTest::freshFormHoldsTheDesignDefaults()
{
    WatchedSendmail form;
    QCOMPARE(form.child<QLineEdit>("sle_password")->echoMode(), QLineEdit::Password);
    // No receipt is asked for unless the user asks.
    QVERIFY(!form.child<QCheckBox>("cbx_receipt")->isChecked());
    // The demo account, so that typing its password is all a send needs.
    QCOMPARE(form.child<QLineEdit>("sle_port")->text(), QStringLiteral("25"));
    QVERIFY(form.child<QCheckBox>("cbx_smtpauth")->isChecked());
    QCOMPARE(form.child<QLineEdit>("sle_server")->text(), QStringLiteral("localhost"));
    QCOMPARE(form.child<QLineEdit>("sle_userid")->text(), QStringLiteral("demo"));
    QCOMPARE(form.child<QLineEdit>("sle_send_email")->text(), QStringLiteral("demo@localhost"));
    // Clearing the authentication box changes nothing else on the form.
    form.child<QCheckBox>("cbx_smtpauth")->click();
    QVERIFY(form.child("sle_userid")->isEnabled());
    QVERIFY(!form.child<QLineEdit>("sle_password")->isReadOnly());
}

void SendmailFormTest::everyControlIsThereWithItsKind()
{
    WatchedSendmail form;
    const QList<QWidget *> controls = form.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 39);
    QSet<QString> names;
    for (const QWidget *control : controls) {
        names.insert(control->objectName());
        QVERIFY2(controlIsOfItsNamesKind(control), qPrintable(control->objectName()));
    }
    QCOMPARE(names.size(), 39);
}

void SendmailFormTest::opensInTheFrameWithTheCaretInThePassword()
{
    w_main frame;
    showActive(frame);
    QMdiSubWindow *sheet = frame.mdiArea()->activeSubWindow();
    QVERIFY(sheet);
    QVERIFY(sheet->isMaximized());
    QTRY_VERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("sle_password"));
}

void SendmailFormTest::tabVisitsEveryControlInReadingOrder()
{
    const QStringList readingOrder = {
        "sle_send_email", "sle_from_name", "sle_from_email", "sle_subject", "mle_body",
        "lb_attachments", "cb_addfile",    "cb_del",         "cbx_receipt", "cbx_sendhtml",
        "cb_send",        "sle_server",    "cbx_smtpauth",   "sle_port",    "sle_userid",
        "sle_password",   "mle_1",         "mle_2",
    };
    WatchedSendmail form;
    showActive(form);
    form.child(readingOrder.first().toLatin1().constData())->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < int(readingOrder.size()) + 1; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Every control once, then round again; labels and group boxes never.
    QCOMPARE(visited, readingOrder + QStringList{readingOrder.first()});
}

void SendmailFormTest::earlierControlsLieOnTop()
{
    WatchedSendmail form;
    form.resize(1200, 600);
    auto topAt = [&form](int xUnits, int yUnits) {
        QWidget *w = form.childAt(QRect(platform::unitsToPixels(xUnits, yUnits, 0, 0)).topLeft());
        while (w && w->parentWidget() != &form)
            w = w->parentWidget();
        return w ? w->objectName() : QString();
    };
    // The recipient line covers the end of its label.
    QCOMPARE(topAt(470, 150), QStringLiteral("sle_send_email"));
    QCOMPARE(topAt(100, 150), QStringLiteral("st_6"));
    // The banner, the log label and the log lie over the fixed note.
    QCOMPARE(topAt(3000, 1300), QStringLiteral("st_18"));
    QCOMPARE(topAt(2500, 1460), QStringLiteral("st_19"));
    QCOMPARE(topAt(3000, 1700), QStringLiteral("mle_2"));
    QCOMPARE(topAt(2600, 1120), QStringLiteral("mle_1"));
    // Group boxes lie beneath what they hold.
    QCOMPARE(topAt(2900, 150), QStringLiteral("sle_server"));
}

void SendmailFormTest::fixedNoteIsReadOnlyAndTheLogEditable()
{
    WatchedSendmail form;
    showActive(form);
    auto *note = form.child<QPlainTextEdit>("mle_1");
    const QString noteText = note->toPlainText();
    QCOMPARE(noteText, QStringLiteral("发件人地址要和SMTP账号匹配；多收件人时采用逗号分隔。"));
    note->setFocus(Qt::TabFocusReason);
    QVERIFY(note->hasFocus());
    QTest::keyClicks(note, QStringLiteral("xyz"));
    QCOMPARE(note->toPlainText(), noteText);
    QCOMPARE(note->frameShape(), QFrame::NoFrame);

    auto *log = form.child<QPlainTextEdit>("mle_2");
    log->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(log, QStringLiteral("note"));
    QCOMPARE(log->toPlainText(), QStringLiteral("note"));
    QCOMPARE(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void SendmailFormTest::validationStopsAtTheFirstEmptyField_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("userid");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("auth");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    const QString server = QStringLiteral("请输入smtp服务器地址！");
    const QString userid = QStringLiteral("请输入smtp服务器登录名！");
    const QString password = QStringLiteral("请输入smtp服务器登录密码！");
    QTest::newRow("fresh form") << "localhost" << "demo" << "" << true << password << "sle_password";
    QTest::newRow("all empty") << "" << "" << "" << true << server << "sle_server";
    QTest::newRow("login name") << "h" << "" << "pw" << true << userid << "sle_userid";
    QTest::newRow("login name, no auth") << "h" << "" << "pw" << false << userid << "sle_userid";
    QTest::newRow("password, no auth") << "h" << "u" << "" << false << password << "sle_password";
}

void SendmailFormTest::validationStopsAtTheFirstEmptyField()
{
    QFETCH(QString, server);
    QFETCH(QString, userid);
    QFETCH(QString, password);
    QFETCH(bool, auth);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    ScriptedDialogs dialogs;
    WatchedSendmail form;
    showActive(form);
    form.child<QLineEdit>("sle_server")->setText(server);
    form.child<QLineEdit>("sle_userid")->setText(userid);
    form.child<QLineEdit>("sle_password")->setText(password);
    form.child<QCheckBox>("cbx_smtpauth")->setChecked(auth);
    form.child<QPlainTextEdit>("mle_2")->setPlainText(QStringLiteral("earlier log"));
    form.child("sle_subject")->setFocus();

    form.press("cb_send");

    QCOMPARE(dialogs.texts(), QStringList{message});
    QCOMPARE(dialogs.titles(), QStringList{QString()});
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QVERIFY(form.handovers.isEmpty());
    QCOMPARE(form.log(), QStringLiteral("earlier log"));
    // The pointer is back to normal over the message.
    QCOMPARE(dialogs.waitCursors(), QList<bool>{false});
}

void SendmailFormTest::formIsHandedOverAsTyped()
{
    ScriptedDialogs dialogs;
    WatchedSendmail form;
    form.child<QLineEdit>("sle_server")->setText(QStringLiteral(" "));
    form.child<QLineEdit>("sle_userid")->setText(QStringLiteral(" user "));
    form.child<QLineEdit>("sle_password")->setText(QStringLiteral("pa ss"));
    form.child<QCheckBox>("cbx_smtpauth")->setChecked(false);
    form.child<QCheckBox>("cbx_receipt")->setChecked(true);
    form.child<QCheckBox>("cbx_sendhtml")->setChecked(true);
    form.child<QLineEdit>("sle_send_email")->setText(QStringLiteral("a@x.cn，b@y.cn, c@z.cn"));
    form.child<QLineEdit>("sle_from_email")->setText(QStringLiteral("me@x.cn"));
    form.child<QLineEdit>("sle_from_name")->setText(QStringLiteral("我 自己"));
    form.child<QLineEdit>("sle_subject")->setText(QStringLiteral(""));
    auto *body = form.child<QPlainTextEdit>("mle_body");
    body->setPlainText(QString::fromUtf8("第一行\n\nthird\u00a0line\n"));

    form.press("cb_send");

    QCOMPARE(form.handovers.size(), 1);
    const stru_smtp_login &smtp = form.handovers[0].smtp;
    QCOMPARE(smtp.host, QStringLiteral(" "));
    QCOMPARE(smtp.username, QStringLiteral(" user "));
    QCOMPARE(smtp.password, QStringLiteral("pa ss"));
    QCOMPARE(smtp.port, quint16(0)); // the default left untouched: the engine's 25, or the server field's
    QVERIFY(!smtp.smtpauth);
    const stru_mail &mail = form.handovers[0].mail;
    QCOMPARE(mail.recipientaddress, QStringLiteral("a@x.cn，b@y.cn, c@z.cn"));
    QCOMPARE(mail.senderaddress, QStringLiteral("me@x.cn"));
    QCOMPARE(mail.sendername, QStringLiteral("我 自己"));
    QCOMPARE(mail.subject, QString());
    QCOMPARE(mail.body, QString::fromUtf8("第一行\r\n\r\nthird\u00a0line\r\n"));
    QVERIFY(mail.attachment.isEmpty());
    QVERIFY(mail.returnreceipt);
    QVERIFY(mail.html);
    QVERIFY(mail.recipientaddress1.isEmpty());
    QVERIFY(!mail.maildatetime.isValid());
    // Nothing was sent; the form says so and reads the (empty) log.
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("发送失败！")});
    QCOMPARE(dialogs.titles(), QStringList{QString()});
    QCOMPARE(dialogs.waitCursors(), QList<bool>{true});
    QCOMPARE(form.log(), QString());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void SendmailFormTest::portTextBecomesANumberOrZero_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("the default 25, untouched") << "25" << 0;
    QTest::newRow("587") << "587" << 587;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("digits then letters") << "25a" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-25" << 0;
    QTest::newRow("highest") << "65535" << 65535;
    QTest::newRow("too high") << "65536" << 0;
    QTest::newRow("far too high") << "99999999999" << 0;
    QTest::newRow("spaces around") << " 465 " << 465;
}

void SendmailFormTest::portTextBecomesANumberOrZero()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    ScriptedDialogs dialogs;
    WatchedSendmail form;
    form.child<QLineEdit>("sle_password")->setText(QStringLiteral("pw"));
    form.child<QLineEdit>("sle_port")->setText(text);
    form.press("cb_send");
    QCOMPARE(form.handovers.size(), 1);
    QCOMPARE(int(form.handovers[0].smtp.port), port);
}

void SendmailFormTest::addAsksForOneFileAndRestoresTheDirectory_data()
{
    QTest::addColumn<int>("rc");
    QTest::addColumn<int>("rows");
    QTest::newRow("ok") << 1 << 1;
    QTest::newRow("cancel") << 0 << 0;
    QTest::newRow("error") << -1 << 0;
}

void SendmailFormTest::addAsksForOneFileAndRestoresTheDirectory()
{
    QFETCH(int, rc);
    QFETCH(int, rows);
    QTemporaryDir elsewhere;
    const QString start = platform::currentDirectory();
    ScriptedDialogs dialogs;
    dialogs.fileAnswers = {{rc, QStringLiteral("/data/报告 2026.pdf")}};
    // A file dialog may change the process's directory while it browses.
    dialogs.whileFileDialogOpen = [&] { platform::setCurrentDirectory(elsewhere.path()); };
    WatchedSendmail form;

    form.press("cb_addfile");

    QCOMPARE(dialogs.fileDialogs.size(), 1);
    QCOMPARE(dialogs.fileDialogs[0].title, QStringLiteral("Select File to Attach"));
    QCOMPARE(dialogs.fileDialogs[0].filter, QStringLiteral("All files,*.*"));
    QCOMPARE(dialogs.fileDialogs[0].extension, QString());
    QCOMPARE(platform::currentDirectory(), start);
    auto *list = form.child<QListWidget>("lb_attachments");
    QCOMPARE(list->count(), rows);
    if (rows)
        QCOMPARE(list->item(0)->text(), QStringLiteral("/data/报告 2026.pdf"));
    QVERIFY(dialogs.messageBoxes.isEmpty());
}

void SendmailFormTest::deleteRemovesTheSelectedRowOnly()
{
    ScriptedDialogs dialogs;
    dialogs.fileAnswers = {{1, "/tmp/one"}, {1, "/tmp/two"}, {1, "/tmp/three"}};
    WatchedSendmail form;
    for (int i = 0; i < 3; ++i)
        form.press("cb_addfile");
    auto *list = form.child<QListWidget>("lb_attachments");
    QCOMPARE(list->count(), 3);

    // Without a selection nothing happens and nothing is said.
    form.press("cb_del");
    QCOMPARE(list->count(), 3);

    showActive(form);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QVERIFY(list->item(1)->isSelected());
    form.press("cb_del");
    QCOMPARE(list->count(), 2);
    // Nothing is selected after a delete: pressing again does nothing.
    form.press("cb_del");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("/tmp/one"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("/tmp/three"));
    QVERIFY(dialogs.messageBoxes.isEmpty());

    form.child<QLineEdit>("sle_password")->setText(QStringLiteral("pw"));
    form.press("cb_send");
    QCOMPARE(form.handovers.size(), 1);
    QCOMPARE(form.handovers[0].mail.attachment, QStringList({"/tmp/one", "/tmp/three"}));
}

void SendmailFormTest::sameFileTwiceIsHandedOverTwice()
{
    ScriptedDialogs dialogs;
    dialogs.fileAnswers = {{1, "/tmp/same.txt"}, {1, "/tmp/same.txt"}};
    WatchedSendmail form;
    form.press("cb_addfile");
    form.press("cb_addfile");
    form.child<QLineEdit>("sle_password")->setText(QStringLiteral("pw"));
    form.press("cb_send");
    QCOMPARE(form.handovers.size(), 1);
    QCOMPARE(form.handovers[0].mail.attachment, QStringList({"/tmp/same.txt", "/tmp/same.txt"}));
}

void SendmailFormTest::pressingAgainSendsAgainAndKeepsTheForm()
{
    ScriptedDialogs dialogs;
    dialogs.fileAnswers = {{1, "/tmp/a"}};
    WatchedSendmail form;
    form.press("cb_addfile");
    form.child<QLineEdit>("sle_password")->setText(QStringLiteral("pw"));
    form.press("cb_send");
    form.press("cb_send");
    QCOMPARE(form.handovers.size(), 2);
    QCOMPARE(form.handovers[1].mail.attachment, form.handovers[0].mail.attachment);
    QCOMPARE(form.handovers[1].mail.subject, QStringLiteral("测试邮件"));
    QCOMPARE(form.handovers[1].smtp.password, QStringLiteral("pw"));
    QCOMPARE(form.child<QLineEdit>("sle_password")->text(), QStringLiteral("pw"));
    QCOMPARE(dialogs.messageBoxes.size(), 2);
}

void SendmailFormTest::mailtoLinkFillsTheMessage_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("leftOut");  // blind copies the user is told about
    QTest::newRow("one address") << "mailto:a@x.cn" << "a@x.cn" << "" << "" << "";
    QTest::newRow("several to and cc, names in any case")
            << "MAILTO:a@x.cn,b@y.cn?To=c@z.cn&cc=d@w.cn,e@v.cn&CC=f@u.cn"
            << "a@x.cn,b@y.cn,c@z.cn,d@w.cn,e@v.cn,f@u.cn" << "" << "" << "";
    QTest::newRow("UTF-8 percent-encoded, plus is a plus")
            << "mailto:%E5%BC%A0@x.cn?subject=%E4%BD%A0%E5%A5%BD+1" << "张@x.cn" << "你好+1" << "" << "";
    QTest::newRow("body lines") << "mailto:a@x.cn?body=one%0D%0Atwo%0Athree%0D%0A"
                                << "a@x.cn" << "" << "one\r\ntwo\r\nthree\r\n" << "";
    QTest::newRow("encoded delimiters stay in their field")
            << "mailto:%22a%2Cb%22@x.cn?subject=q%26a%3D1&body=50%25" << "\"a,b\"@x.cn" << "q&a=1" << "50%" << "";
    QTest::newRow("no address, only a subject") << "mailto:?subject=hi" << "" << "hi" << "" << "";
    QTest::newRow("fields a link may not set are dropped")
            << "mailto:a@x.cn?attach=%2Fetc%2Fpasswd&in-reply-to=%3Cz@x%3E&subject=s" << "a@x.cn" << "s" << "" << "";
    QTest::newRow("blind copies left out") << "mailto:a@x.cn?bcc=h@x.cn,i@x.cn&subject=s"
                                           << "a@x.cn" << "s" << "" << "h@x.cn，i@x.cn";
}

void SendmailFormTest::mailtoLinkFillsTheMessage()
{
    QFETCH(QString, link);
    QFETCH(QString, recipients);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, leftOut);
    ScriptedDialogs dialogs;
    WatchedSendmail form;
    form.fillFromMailto(parseMailtoLink(link));
    QCOMPARE(dialogs.messageBoxes.size(), leftOut.isEmpty() ? 0 : 1);
    if (!leftOut.isEmpty())
        QVERIFY2(dialogs.messageBoxes.first().text.contains(leftOut), qPrintable(dialogs.messageBoxes.first().text));

    form.child<QLineEdit>("sle_password")->setText(QStringLiteral("pw"));
    form.press("cb_send");
    QCOMPARE(form.handovers.size(), 1);
    const stru_mail &mail = form.handovers[0].mail;
    QCOMPARE(mail.recipientaddress, recipients);
    QCOMPARE(mail.subject, subject);
    QCOMPARE(mail.body, body);
}

QTEST_MAIN(SendmailFormTest)
#include "tst_sendmail_form.moc"
