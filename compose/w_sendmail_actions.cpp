// SPDX-License-Identifier: MIT
#include "compose/w_sendmail.h"

#include "engine/n_orvex.h"
#include "engine/server_field.h"
#include "platform/dialog_service.h"
#include "platform/files.h"
#include "platform/window_services.h"
#include "platform/transfer_progress.h"
#include "platform/wait_cursor.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <optional>

namespace {

constexpr quint16 kDefaultSmtpPort = 25;

// A multi-line field's text as it is handed over: line breaks as CR LF,
// every other character as typed (no-break spaces included).
QString textWithCrLf(const QPlainTextEdit *edit)
{
    QString text = edit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace

void w_sendmail::cb_addfile_clicked()
{
    QString ls_pathname;
    QString ls_filename;
    const QString ls_filter = QStringLiteral("All files,*.*");

    // The dialog may wander to another folder; the program's current
    // directory is where fetched attachments go, so it is put back.
    const QString ls_c = platform::currentDirectory();
    const int li_rc = platform::dialogs().getFileOpenName(QStringLiteral("Select File to Attach"), ls_pathname,
                                                          ls_filename, QStringLiteral(""), ls_filter);
    platform::setCurrentDirectory(ls_c);

    if (li_rc == 1)
        lb_attachments->addItem(ls_pathname);
}

void w_sendmail::cb_del_clicked()
{
    const QList<QListWidgetItem *> selected = lb_attachments->selectedItems();
    if (selected.isEmpty())
        return;
    delete lb_attachments->takeItem(lb_attachments->row(selected.first()));
    // Qt would select the next row; a second press must not delete it.
    lb_attachments->setCurrentItem(nullptr);
    lb_attachments->clearSelection();
}

void w_sendmail::cb_send_clicked()
{
    n_orvex ln_orvex;
    std::optional<platform::WaitCursor> wait(std::in_place);

    if (const std::optional<MissingField> missing = firstMissingServerField()) {
        wait.reset();  // a normal pointer over the message
        platform::dialogs().messageBox(QStringLiteral(""), missing->message);
        missing->field->setFocus();
        return;
    }

    const stru_mail mail = mailFromForm();
    const stru_smtp_login smtp = smtpLoginFromForm();
    const int result = sendThroughEngine(ln_orvex, smtp, mail);
    // Closing the window ended the send: it is going, with no box; the
    // frame's status line says what became of the message.
    if (result != 1 && platform::transferAbandoned()) {
        wait.reset();
        platform::reportTransferProgress(ln_orvex.ib_maybesent
                                                 ? QStringLiteral("发送已中止：邮件已全部发出，服务器可能已经收下了这封邮件。")
                                                 : QStringLiteral("发送已中止：邮件没有发出。"));
        return;
    }

    // The transfer is over: its progress must not stand behind the result.
    platform::reportTransferProgress(QString());
    platform::dialogs().messageBox(QStringLiteral(""),
                                   result == 1 ? QStringLiteral("发送成功！") : QStringLiteral("发送失败！"),
                                   result == 1 ? QString() : ln_orvex.is_failure.reason);
    showLog(ln_orvex.of_getlasterror());
}

int w_sendmail::sendThroughEngine(n_orvex &ln_orvex, const stru_smtp_login &smtp, const stru_mail &mail)
{
    return ln_orvex.of_sendmail(smtp, mail);
}

std::optional<w_sendmail::MissingField> w_sendmail::firstMissingServerField() const
{
    // Only exact emptiness stops the send; the login fields are required
    // whatever the authentication box says.
    if (sle_server->text() == QStringLiteral(""))
        return MissingField{sle_server, QStringLiteral("请输入smtp服务器地址！")};
    if (sle_userid->text() == QStringLiteral(""))
        return MissingField{sle_userid, QStringLiteral("请输入smtp服务器登录名！")};
    if (sle_password->text() == QStringLiteral(""))
        return MissingField{sle_password, QStringLiteral("请输入smtp服务器登录密码！")};
    return std::nullopt;
}

stru_mail w_sendmail::mailFromForm() const
{
    stru_mail mail;
    mail.senderaddress = sle_from_email->text();
    mail.sendername = sle_from_name->text();
    mail.recipientaddress = sle_send_email->text();
    mail.subject = sle_subject->text();
    mail.body = textWithCrLf(mle_body);
    const int li_max = lb_attachments->count();
    for (int li_idx = 0; li_idx < li_max; ++li_idx)
        mail.attachment.append(lb_attachments->item(li_idx)->text());
    mail.returnreceipt = cbx_receipt->isChecked();
    mail.html = cbx_sendhtml->isChecked();
    return mail;
}

stru_smtp_login w_sendmail::smtpLoginFromForm() const
{
    stru_smtp_login smtp;
    smtp.host = sle_server->text();
    smtp.port = engine::portFromField(sle_port->text(), sle_port->isModified(), kDefaultSmtpPort);
    smtp.username = sle_userid->text();
    smtp.password = sle_password->text();
    smtp.smtpauth = cbx_smtpauth->isChecked();
    return smtp;
}

void w_sendmail::showLog(const QString &log)
{
    // The component's log may break lines with CR LF; the edit shows them
    // as plain line breaks.
    QString text = log;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    mle_2->setPlainText(text);
}
