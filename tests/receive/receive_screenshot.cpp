// SPDX-License-Identifier: MIT
// Shows the receive sheet in the main frame reading a real message and
// saves a picture of it: fetches a Chinese HTML mail with an attachment
// from the test mail servers (mail_servers.sh start DIR, then
// ORVEX_TEST_SERVERS=DIR/servers.env), clicks it and grabs the frame.
//
//     tests/fixtures/mail_servers.sh start /tmp/servers
//     export TZ=Asia/Shanghai ORVEX_TEST_SERVERS=/tmp/servers/servers.env
//     xvfb-run -a build/bin/receive_screenshot docs/screenshots/receive.png
#include "engine/n_orvex.h"
#include "fixtures/mail_servers.h"
#include "frame/w_main.h"
#include "platform/fonts.h"
#include "platform/window_services.h"
#include "receive/d_email_list.h"
#include "receive/w_recimail.h"
#include "support/scripted_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

QByteArray readingSample()
{
    const QByteArray html = QStringLiteral(
        "<html><body>"
        "<h2 style=\"color:#1a4f8b\">2026年第一季度销售报告</h2>"
        "<p>各位同事：</p>"
        "<p>附件是<b>第一季度</b>的销售数据，请在周五之前查看并反馈意见。主要数字如下：</p>"
        "<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">"
        "<tr><th>地区</th><th>销售额（万元）</th><th>同比</th></tr>"
        "<tr><td>华东</td><td>1,280</td><td>+12%</td></tr>"
        "<tr><td>华南</td><td>960</td><td>+8%</td></tr>"
        "<tr><td>华北</td><td>745</td><td>-3%</td></tr>"
        "</table>"
        "<p><img src=\"http://tracker.example.com/open.gif\" width=\"1\" height=\"1\">"
        "谢谢！<br>张伟 · 市场部</p>"
        "</body></html>").toUtf8();
    return "From: =?UTF-8?B?" + QStringLiteral("张伟").toUtf8().toBase64() + "?= <zhangwei@example.cn>\r\n"
           "To: user22@localhost, team@example.cn\r\n"
           "Subject: =?UTF-8?B?" + QStringLiteral("第一季度销售报告").toUtf8().toBase64() + "?=\r\n"
           "Date: Mon, 06 Apr 2026 10:24:00 +0800\r\n"
           "Message-ID: <q1-report@example.cn>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"sep\"\r\n"
           "\r\n"
           "--sep\r\n"
           "Content-Type: text/html; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n" + html.toBase64() + "\r\n"
           "--sep\r\n"
           "Content-Type: text/csv; name=\"=?UTF-8?B?" + QStringLiteral("销售数据.csv").toUtf8().toBase64() + "?=\"\r\n"
           "Content-Disposition: attachment; filename=\"=?UTF-8?B?"
           + QStringLiteral("销售数据.csv").toUtf8().toBase64() + "?=\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n" + QStringLiteral("地区,销售额\n华东,1280\n华南,960\n华北,745\n").toUtf8().toBase64() + "\r\n"
           "--sep--\r\n";
}

QByteArray plainSample()
{
    return "From: li.na@example.org\r\n"
           "To: user22@localhost\r\n"
           "Subject: =?UTF-8?B?" + QStringLiteral("周末聚餐").toUtf8().toBase64() + "?=\r\n"
           "Date: Sat, 04 Apr 2026 20:05:00 +0800\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: 8bit\r\n"
           "\r\n" + QStringLiteral("周日中午十二点，老地方见。\r\n").toUtf8();
}

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    platform::installFontSubstitutions();
    platform::installWindowServices();
    if (argc < 2) {
        std::fprintf(stderr, "usage: receive_screenshot OUTPUT.png\n");
        return 2;
    }
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const std::optional<TestServers> servers = TestServers::load();
    if (!servers) {
        std::fprintf(stderr, "%s\n", qPrintable(TestServers::unavailableReason()));
        return 1;
    }
    qputenv("ORVEX_CA_FILE", servers->caFile().toLocal8Bit());
    if (!n_orvex().of_register()) {
        std::fprintf(stderr, "the mail component does not register\n");
        return 1;
    }
    // Message boxes are reported on stderr instead of waiting for a click.
    ScriptedDialogs dialogs;
    dialogs.whileMessageShown = [&dialogs] {
        std::fprintf(stderr, "message: %s\n", qPrintable(dialogs.messageBoxes.last().text));
    };

    const QString user = QStringLiteral("user22");
    servers->clearMailbox(user);
    servers->deliver(user, plainSample());
    servers->deliver(user, readingSample());
    if (!servers->waitForMessageCount(user, 2)) {
        std::fprintf(stderr, "the messages did not arrive in the mailbox\n");
        return 1;
    }
    QTemporaryDir attachments;
    QDir::setCurrent(attachments.path());

    w_main frame;
    frame.show();
    auto *sheet = qobject_cast<w_recimail *>(frame.opensheet<w_recimail>()->widget());
    settle();
    sheet->findChild<QLineEdit *>(QStringLiteral("sle_port"))->setText(QString::number(servers->pop3Port()));
    sheet->findChild<QLineEdit *>(QStringLiteral("sle_userid"))->setText(user);
    sheet->findChild<QLineEdit *>(QStringLiteral("sle_password"))->setText(TestServers::password(user));
    sheet->findChild<QCheckBox *>(QStringLiteral("cbx_all"))->setChecked(true);
    sheet->cb_rev_clicked();
    if (sheet->mailList()->rowCount() < 2) {
        std::fprintf(stderr, "the fetch listed %d messages\n", sheet->mailList()->rowCount());
        return 1;
    }
    sheet->dw_1_clicked(2);
    if (auto *list = sheet->findChild<QListWidget *>(QStringLiteral("lb_attachments")); list && list->count() > 0)
        list->setCurrentRow(0);
    settle();
    if (!frame.grab().save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::fprintf(stderr, "saved %s\n", qPrintable(output));
    return 0;
}
