// SPDX-License-Identifier: MIT
#include "compose/mailto_link.h"
#include "compose/w_sendmail.h"
#include "platform/dialog_service.h"

#include <QLineEdit>
#include <QPlainTextEdit>

void w_sendmail::fillFromMailto(const MailtoLink &link)
{
    sle_send_email->setText((link.to + link.cc).join(QLatin1Char(',')));
    sle_subject->setText(link.subject);
    mle_body->setPlainText(link.body);
    if (!link.bcc.isEmpty())
        platform::dialogs().messageBox(
                QString(""),
                QStringLiteral("邮件链接中的密送地址没有填入：%1\n"
                               "本窗口只有一个收件人栏，填在那里的地址每个收件人都看得到。")
                        .arg(link.bcc.join(QStringLiteral("，"))));
}
