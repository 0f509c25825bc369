// SPDX-License-Identifier: MIT
#include "receive/w_readmail.h"

#include "htmlview/u_web_browser.h"
#include "receive/message_body.h"
#include "receive/w_recimail.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

QLineEdit *readOnlyField(const char *name, const QString &text, QWidget *parent)
{
    auto *field = new QLineEdit(text, parent);
    field->setObjectName(QString::fromUtf8(name));
    field->setReadOnly(true);
    field->setCursorPosition(0);
    return field;
}

} // namespace

w_readmail::w_readmail(const Message &message, QWidget *sheet) : QWidget(sheet, Qt::Window)
{
    setObjectName(QStringLiteral("w_readmail"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(message.subject.isEmpty() ? QStringLiteral("(无主题)") : message.subject);

    sle_from_email = readOnlyField("sle_from_email", message.sender, this);
    const QString sent = message.sent.isValid() ? message.sent.toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString();
    sle_sendtime = readOnlyField("sle_sendtime", sent, this);
    sle_recipients = readOnlyField("sle_recipients", message.recipients.join(QStringLiteral("; ")), this);
    sle_subject = readOnlyField("sle_subject", message.subject, this);

    ole_body = new u_web_browser(this);
    ole_body->setObjectName(QStringLiteral("ole_body"));
    ole_body->setFrameShape(QFrame::StyledPanel);

    lb_attachments = new QListWidget(this);
    lb_attachments->setObjectName(QStringLiteral("lb_attachments"));
    lb_attachments->addItems(message.attachments);
    lb_attachments->setMaximumHeight(lb_attachments->sizeHintForRow(0) * 4 + 2 * lb_attachments->frameWidth() + 4);
    if (lb_attachments->count() > 0)
        lb_attachments->setCurrentRow(0);
    cb_download = new QPushButton(QStringLiteral("下载"), this);
    cb_download->setObjectName(QStringLiteral("cb_download"));
    cb_download->setEnabled(lb_attachments->count() > 0);

    auto *header = new QFormLayout;
    const auto row = [&](const QString &caption, QWidget *field) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        header->addRow(label, field);
    };
    row(QStringLiteral("发件人："), sle_from_email);
    row(QStringLiteral("发送日期："), sle_sendtime);
    row(QStringLiteral("收件人："), sle_recipients);
    row(QStringLiteral("主题："), sle_subject);

    auto *attachments = new QHBoxLayout;
    auto *attachmentsCaption = new QLabel(QStringLiteral("附件："), this);
    attachmentsCaption->setBuddy(lb_attachments);
    attachments->addWidget(attachmentsCaption, 0, Qt::AlignTop);
    attachments->addWidget(lb_attachments, 1);
    attachments->addWidget(cb_download, 0, Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(ole_body, 1);
    layout->addLayout(attachments);
    ole_body->setAccessibleName(QStringLiteral("内容"));

    connect(cb_download, &QPushButton::clicked, this, &w_readmail::cb_download_clicked);
    connect(new QShortcut(QKeySequence::Close, this), &QShortcut::activated, this, &QWidget::close);
    connect(lb_attachments, &QListWidget::itemDoubleClicked, this, &w_readmail::cb_download_clicked);

    // 800 x 700, or the screen's free area when that is smaller.
    QSize size(kDefaultWidth, kDefaultHeight);
    if (const QScreen *screen = sheet ? sheet->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);

    ole_body->of_pastehtml(bodyAsHtml(message.body, message.html));
}

void w_readmail::cb_download_clicked()
{
    const QList<QListWidgetItem *> selected = lb_attachments->selectedItems();
    w_recimail::downloadAttachment(selected.isEmpty() ? QString() : selected.first()->text());
}
