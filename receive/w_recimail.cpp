// SPDX-License-Identifier: MIT
#include "receive/w_recimail.h"

#include "engine/n_orvex.h"
#include "engine/server_field.h"
#include "htmlview/u_web_browser.h"
#include "platform/dialog_service.h"
#include "platform/files.h"
#include "platform/window_services.h"
#include "platform/layout_units.h"
#include "platform/transfer_progress.h"
#include "platform/wait_cursor.h"
#include "receive/d_email_list.h"
#include "receive/em_number_mask.h"
#include "receive/password_change_trigger.h"
#include "receive/email_grid.h"
#include "receive/mail_spool.h"
#include "receive/message_body.h"
#include "receive/w_readmail.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <optional>

namespace {

const QColor kBlue(0, 0, 255);

QFont arial8()
{
    QFont font(QStringLiteral("Arial"), 8);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont songti9(bool bold = false)
{
    QFont font(QStringLiteral("宋体"), 9);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

QFont kaiti12Bold()
{
    QFont font(QStringLiteral("楷体_GB2312"), 12);
    font.setWeight(QFont::Bold);
    font.setFixedPitch(true);
    return font;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

constexpr quint16 kDefaultPop3Port = 110;

} // namespace

w_recimail::w_recimail(QWidget *parent) : QWidget(parent), m_rows(new d_email_list(this))
{
    setObjectName(QStringLiteral("w_recimail"));
    setWindowTitle(QStringLiteral("POP3收邮件"));
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    // The button-face colour: the desktop's window background.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    setFont(arial8());
    resize(sizeHint());

    createControls();
    stackControls();
    arrangeTabOrder();
    nameControlsByTheirCaptions();

    connect(cb_rev, &QPushButton::clicked, this, &w_recimail::cb_rev_clicked);
    connect(new password_change_trigger(sle_password, this), &password_change_trigger::changeConfirmed, this,
            &w_recimail::sle_password_modified);
    connect(cbx_all, &QCheckBox::toggled, this, &w_recimail::cbx_all_clicked);
    connect(dw_1, &email_grid::rowClicked, this, &w_recimail::dw_1_clicked);
    connect(dw_1, &email_grid::rowActivated, this, &w_recimail::openMessageWindow);
    connect(cb_addfile, &QPushButton::clicked, this, &w_recimail::cb_addfile_clicked);
    connect(lb_attachments, &QListWidget::itemDoubleClicked, this, &w_recimail::cb_addfile_clicked);

    sle_password->setFocus();
    // Bodies a crashed run left on disk.
    mail_spool::removeAbandoned();
}

w_recimail::~w_recimail() = default;

QSize w_recimail::sizeHint() const
{
    return {platform::unitsToPixelsX(kWidthUnits), platform::unitsToPixelsY(kHeightUnits)};
}

void w_recimail::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    // The messages opened from the list go with it.
    for (const QPointer<w_readmail> &window : std::as_const(m_messageWindows))
        if (window)
            window->close();
    m_messageWindows.clear();
    // The list goes with the sheet, and its bodies' spool with it.
    m_rows->reset();
    clearMessageView();
    QWidget::closeEvent(event);
}

void w_recimail::createControls()
{
    // Places a control at its design position (layout units). The design's
    // tab value stays beside it for reference; Tab itself goes in reading
    // order (arrangeTabOrder).
    auto place = [this](auto *control, const char *name, int x, int y, int width, int height, int tab) {
        Q_UNUSED(tab);
        control->setObjectName(QString::fromUtf8(name));
        control->setGeometry(platform::unitsToPixels(x, y, width, height));
        m_creationOrder.append(control);
        return control;
    };
    auto label = [&](const char *name, const QString &text, int x, int y, int width, int height) {
        auto *st = new QLabel(text, this);
        st->setWordWrap(true);
        st->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return place(st, name, x, y, width, height, 0);
    };
    // A caption in front of its field, flush against it.
    auto caption = [&](const char *name, const QString &text, int x, int y, int width, int height) {
        QLabel *st = label(name, text, x, y, width, height);
        st->setWordWrap(false);
        st->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return st;
    };
    auto edit = [&](const char *name, const QString &text, int x, int y, int width, int height, int tab) {
        return place(new QLineEdit(text, this), name, x, y, width, height, tab);
    };

    ole_1 = place(new u_web_browser(this), "ole_1", 453, 1032, 1906, 564, 30);
    sle_sendtime = edit("sle_sendtime", QString(), 1586, 756, 773, 80, 30);
    sle_sendtime->setReadOnly(true);
    st_20 = caption("st_20", QStringLiteral("发送日期："), 1202, 764, 357, 64);
    st_3 = label("st_3", QStringLiteral("到"), 1157, 60, 155, 56);
    st_19 = label("st_19", QStringLiteral("orvex——最稳定的POP3邮件接收程序，接收成功率高达100%！"), 2459, 1488,
                  1042, 248);
    st_19->setFont(kaiti12Bold());
    setTextColour(st_19, kBlue);
    cbx_all = place(new QCheckBox(QStringLiteral("接收全部邮件"), this), "cbx_all", 1632, 60, 480, 72, 0);
    st_18 = label("st_18", QStringLiteral("封邮件"), 1422, 64, 174, 56);
    em_1 = place(new em_number_mask(this), "em_1", 960, 56, 192, 72, 40);
    st_12 = label("st_12", QStringLiteral("收取第"), 786, 64, 215, 56);
    dw_1 = place(new email_grid(m_rows, this), "dw_1", 50, 152, 2309, 528, 30);
    cbx_deleteafterread = place(new QCheckBox(QStringLiteral("接收后在服务器上删除"), this), "cbx_deleteafterread",
                                55, 60, 663, 72, 0);
    sle_send_email = edit("sle_send_email", QString(), 453, 848, 1906, 80, 20);
    st_16 = label("st_16", QStringLiteral("注意："), 2482, 940, 457, 72);
    st_16->setFont(songti9(true));
    mle_1 = place(new QPlainTextEdit(QStringLiteral("发件人地址要和SMTP账号匹配；"), this), "mle_1", 2482, 1044,
                  1029, 720, 30);
    mle_1->setReadOnly(true);
    mle_1->setFrameShape(QFrame::NoFrame);
    mle_1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mle_1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    {
        QPalette palette = mle_1->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        mle_1->setPalette(palette);
    }
    st_15 = label("st_15", QStringLiteral("2、支持HTML邮件。"), 2482, 696, 1029, 52);
    st_15->setFont(songti9());
    st_14 = label("st_14", QStringLiteral("1、程序结构清晰，易于扩展和移植。"), 2482, 632, 1029, 56);
    st_14->setFont(songti9());
    st_13 = label("st_13", QStringLiteral("组件特点："), 2482, 536, 457, 72);
    st_13->setFont(songti9(true));
    st_11 = caption("st_11", QStringLiteral("*POP3服务器："), 2441, 96, 370, 68);
    setTextColour(st_11, kBlue);
    sle_server = edit("sle_server", QStringLiteral("localhost"), 2807, 88, 553, 80, 10);
    sle_userid = edit("sle_userid", QStringLiteral("demo"), 2807, 280, 553, 80, 30);
    st_10 = caption("st_10", QStringLiteral("*登陆名："), 2441, 292, 361, 68);
    setTextColour(st_10, kBlue);
    st_9 = caption("st_9", QStringLiteral("*密码："), 2441, 384, 361, 68);
    setTextColour(st_9, kBlue);
    sle_password = edit("sle_password", QString(), 2807, 372, 553, 80, 20);
    sle_password->setEchoMode(QLineEdit::Password);
    st_8 = caption("st_8", QStringLiteral("端口："), 2441, 196, 361, 68);
    sle_port = edit("sle_port", QStringLiteral("110"), 2807, 184, 224, 80, 20);
    st_1 = caption("st_1", QStringLiteral("主题："), 174, 948, 247, 68);
    sle_subject = edit("sle_subject", QString(), 453, 940, 1906, 80, 20);
    st_2 = caption("st_2", QStringLiteral("内容："), 174, 1024, 247, 68);
    st_4 = caption("st_4", QStringLiteral("发件人地址："), 69, 764, 357, 64);
    st_6 = caption("st_6", QStringLiteral("收件人地址："), 69, 860, 411, 56);
    // Its right end lies under the recipient field; keep the text clear of it.
    st_6->setContentsMargins(0, 0, platform::unitsToPixelsX(480 - 453), 0);
    lb_attachments = place(new QListWidget(this), "lb_attachments", 453, 1672, 1906, 164, 30);
    lb_attachments->setSortingEnabled(false);
    lb_attachments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lb_attachments->addItem(QString());
    st_7 = label("st_7", QStringLiteral("附件："), 453, 1608, 361, 56);
    cb_addfile = place(new QPushButton(QStringLiteral("下载"), this), "cb_addfile", 206, 1672, 224, 68, 20);
    st_17 = label("st_17", QStringLiteral("3、支持多附件邮件，支持大附件。"), 2482, 760, 1029, 52);
    st_17->setFont(songti9());
    st_5 = label("st_5", QStringLiteral("4、支持多收件人，采用都好分隔。"), 2482, 828, 1029, 52);
    st_5->setFont(songti9());
    mle_body = place(new QPlainTextEdit(this), "mle_body", 453, 1032, 1906, 564, 10);
    mle_body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Always covered by the HTML view, it only keeps the text: hidden, it
    // takes no focus and no screen reader reads its raw markup.
    mle_body->setTabChangesFocus(true);
    mle_body->hide();
    gb_1 = place(new QGroupBox(QStringLiteral("POP3服务器设置(电子邮件的POP3服务器信息)"), this), "gb_1", 2414, 0,
                 1166, 476, 10);
    gb_2 = place(new QGroupBox(QStringLiteral("邮件"), this), "gb_2", 23, 700, 2363, 1156, 10);
    gb_3 = place(new QGroupBox(QStringLiteral("邮件列表"), this), "gb_3", 23, 0, 2363, 700, 20);
    cb_rev = place(new QPushButton(QStringLiteral("收取"), this), "cb_rev", 2066, 48, 288, 92, 30);
    em_2 = place(new em_number_mask(this), "em_2", 1221, 56, 192, 72, 20);
    sle_from_email = edit("sle_from_email", QString(), 453, 756, 791, 80, 10);
    sle_from_email->setReadOnly(true);

    // A click on a button leaves the focus where it was: leaving a changed
    // password field by clicking "收取" must not fetch twice.
    cb_rev->setFocusPolicy(Qt::TabFocus);
    cb_addfile->setFocusPolicy(Qt::TabFocus);
}

void w_recimail::stackControls()
{
    // Of two overlapping controls the one created earlier lies on top ...
    for (auto it = m_creationOrder.crbegin(); it != m_creationOrder.crend(); ++it)
        (*it)->raise();
    // ... except these, which are brought to the top.
    for (QWidget *control : {static_cast<QWidget *>(sle_send_email), static_cast<QWidget *>(cb_rev),
                             static_cast<QWidget *>(em_2), static_cast<QWidget *>(sle_from_email)})
        control->raise();
}

void w_recimail::arrangeTabOrder()
{
    // Every visible control in reading order, check boxes included: the
    // list group (its options, "收取", the list), the message group, then
    // the server settings and the note.
    QWidget *const chain[] = {
        cbx_deleteafterread, em_1,        em_2,          cbx_all,     cb_rev,    dw_1,
        sle_from_email,      sle_sendtime, sle_send_email, sle_subject, ole_1,     cb_addfile,
        lb_attachments,      sle_server,  sle_port,      sle_userid,  sle_password, mle_1,
    };
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
}

void w_recimail::nameControlsByTheirCaptions()
{
    // Screen readers name a field by the caption in front of it; the list
    // by its group's title.
    const std::pair<QLabel *, QWidget *> captions[] = {
        {st_12, em_1},           {st_3, em_2},          {st_4, sle_from_email}, {st_20, sle_sendtime},
        {st_6, sle_send_email},  {st_1, sle_subject},   {st_2, ole_1},          {st_7, lb_attachments},
        {st_11, sle_server},     {st_8, sle_port},      {st_10, sle_userid},    {st_9, sle_password},
        {st_16, mle_1},
    };
    for (const auto &[caption, control] : captions)
        caption->setBuddy(control);
    // Lists are not named by their buddies.
    lb_attachments->setAccessibleName(st_7->text());
    dw_1->setAccessibleName(gb_3->title());
}

QString w_recimail::rangeText() const
{
    if (cbx_all->isChecked())
        return QStringLiteral("0-0");
    const QString first = em_1->cleanText();
    const QString last = em_2->cleanText();
    if (first.toLong() <= last.toLong())
        return first + QLatin1Char('-') + last;
    return last + QLatin1Char('-') + first;
}

void w_recimail::cb_rev_clicked()
{
    std::optional<platform::WaitCursor> hourglass(std::in_place);
    // The hourglass lasts until the handler ends, but a message waiting for
    // the user shows the normal pointer.
    const auto tell = [&hourglass](const QString &text, const QString &detail = QString()) {
        hourglass.reset();
        platform::dialogs().messageBox(QString(), text, detail);
    };
    // Whatever happens, this fetch answers the change of password.
    sle_password->setModified(false);
    m_rows->reset();
    clearMessageView();

    if (sle_server->text().isEmpty()) {
        tell(QStringLiteral("请输入pop3服务器地址！"));
        sle_server->setFocus();
        return;
    }
    if (sle_userid->text().isEmpty()) {
        tell(QStringLiteral("请输入pop3服务器登录名！"));
        sle_userid->setFocus();
        return;
    }
    if (sle_password->text().isEmpty()) {
        tell(QStringLiteral("请输入pop3服务器登录密码！"));
        sle_password->setFocus();
        return;
    }

    n_orvex ln_orvex;
    stru_pop3_login pop3;
    pop3.host = sle_server->text();
    pop3.port = engine::portFromField(sle_port->text(), sle_port->isModified(), kDefaultPop3Port);
    pop3.username = sle_userid->text();
    pop3.password = sle_password->text();
    pop3.deleteafterread = cbx_deleteafterread->isChecked();
    pop3.attachpath = QDir::toNativeSeparators(platform::currentDirectory()) + QDir::separator();

    const QString ls_index = rangeText();
    QList<stru_mail> mail;
    const int result = ln_orvex.of_recimail(pop3, mail, ls_index);
    // Every message was read and saved, but whether the server deleted them
    // is unknown: they are listed, and the user is told what may be gone,
    // even when the window is closing.
    if (result == n_orvex::kFetchedEndUnsure) {
        appendToList(std::move(mail));
        tell(ln_orvex.is_warning);
        return;
    }
    if (result != 1) {
        // Closing the window ended the fetch: it is going, with no box; the
        // frame's status line says what became of the mailbox.
        if (platform::transferAbandoned()) {
            hourglass.reset();
            platform::reportTransferProgress(QStringLiteral("接收已中止：服务器上的邮件没有删除。"));
            return;
        }
        tell(QStringLiteral("接收失败！"), ln_orvex.is_failure.reason);
        return;
    }

    appendToList(std::move(mail));
    tell(QStringLiteral("接收成功！"));
}

void w_recimail::appendToList(QList<stru_mail> mail)
{
    m_rows->appendMessages(std::move(mail));
}

void w_recimail::sle_password_modified()
{
    // Enter, or the field left for another control of this sheet, after the
    // password was changed; the sheet may have closed since.
    if (m_closing || !isVisible())
        return;
    cb_rev_clicked();
}

void w_recimail::clearMessageView()
{
    // The message shown came from the list a fetch replaces.
    sle_from_email->clear();
    sle_send_email->clear();
    sle_subject->clear();
    sle_sendtime->clear();
    mle_body->clear();
    ole_1->of_setbodyhtml(QString());
    lb_attachments->clear();
}

void w_recimail::cbx_all_clicked()
{
    const bool all = cbx_all->isChecked();
    em_1->setEnabled(!all);
    em_2->setEnabled(!all);
}

QString w_recimail::recipientAddress() const
{
    // The login name at the host's domain: the host after its first ".",
    // or the whole host when it has none.
    const QString host = sle_server->text();
    const qsizetype dot = host.indexOf(QLatin1Char('.'));
    const QString domain = dot < 0 ? host : host.mid(dot + 1);
    return sle_userid->text() + QLatin1Char('@') + domain;
}

void w_recimail::dw_1_clicked(long row)
{
    if (row <= 0 || row > m_rows->rowCount())
        return;
    dw_1->highlightRow(row);

    const std::optional<QString> read = bodyOrTell(row);
    const QString body = read.value_or(QString());
    sle_from_email->setText(m_rows->item(row, QStringLiteral("sender")).toString());
    sle_send_email->setText(recipientAddress());
    sle_subject->setText(m_rows->item(row, QStringLiteral("topic")).toString());
    mle_body->setPlainText(QString(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    ole_1->of_setbodyhtml(QString());
    ole_1->of_pastehtml(bodyAsHtml(body, m_rows->isHtml(row)));
    // The caret ends after the body, but a message is read from its top.
    ole_1->verticalScrollBar()->setValue(0);
    ole_1->horizontalScrollBar()->setValue(0);

    // A long address or subject shows its beginning, and all of it when
    // the pointer rests on it.
    for (QLineEdit *field : {sle_from_email, sle_send_email, sle_subject}) {
        field->setCursorPosition(0);
        field->setToolTip(field->text());
    }

    const QDateTime sent = m_rows->item(row, QStringLiteral("sendtime")).toDateTime();
    sle_sendtime->setText(sent.isValid() ? sent.toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString());

    lb_attachments->clear();
    lb_attachments->addItems(attachmentsOf(row));
}

void w_recimail::cb_addfile_clicked()
{
    const QList<QListWidgetItem *> selected = lb_attachments->selectedItems();
    downloadAttachment(selected.isEmpty() ? QString() : selected.first()->text());
}

void w_recimail::downloadAttachment(const QString &ls_pathname1)
{
    const QString ls_filter = QStringLiteral("All files,*.*");
    if (ls_pathname1.isEmpty()) {
        platform::dialogs().messageBox(QString(), QStringLiteral("请先选择一个附件！"));
        return;
    }

    QString ls_pathname = ls_pathname1;
    QString ls_filename;
    const QString ls_c = platform::currentDirectory();
    const int li_rc = platform::dialogs().getFileSaveName(QStringLiteral("Select File To Save Attach"), ls_pathname,
                                                          ls_filename, QString(), ls_filter);
    platform::setCurrentDirectory(ls_c);
    if (li_rc != 1)
        return;
    if (!platform::fileExists(ls_pathname1)) {
        platform::dialogs().messageBox(QString(), QStringLiteral("找不到附件文件：%1").arg(ls_pathname1));
        return;
    }

    // The user already agreed to replace a file of that name in the dialog;
    // naming the saved attachment itself leaves it as it is.
    if (platform::fileCopy(ls_pathname1, ls_pathname))
        platform::dialogs().messageBox(QString(), QStringLiteral("下载成功！"));
    else
        platform::dialogs().messageBox(QString(), QStringLiteral("下载失败！"));
}

void w_recimail::openMessageWindow(long row)
{
    if (row <= 0 || row > m_rows->rowCount())
        return;
    w_readmail::Message message;
    message.sender = m_rows->item(row, QStringLiteral("sender")).toString();
    message.sent = m_rows->item(row, QStringLiteral("sendtime")).toDateTime();
    message.subject = m_rows->item(row, QStringLiteral("topic")).toString();
    const std::optional<QString> body = bodyOrTell(row);
    if (!body)
        return;
    message.body = *body;
    message.html = m_rows->isHtml(row);
    n_orvex ln_orvex;
    QStringList recipients;
    ln_orvex.of_parse(m_rows->item(row, QStringLiteral("reciever")).toString(), QStringLiteral(";"), recipients);
    recipients.removeAll(QString());
    message.recipients = recipients;
    message.attachments = attachmentsOf(row);

    auto *window = new w_readmail(message, this);
    m_messageWindows.append(window);
    window->show();
}

QStringList w_recimail::attachmentsOf(long row) const
{
    // The paths themselves where the fetch left them: split at ";", a
    // folder whose name holds one would fall apart.
    QStringList paths = m_rows->attachmentPaths(row);
    if (paths.isEmpty()) {
        n_orvex ln_orvex;
        ln_orvex.of_parse(m_rows->item(row, QStringLiteral("attach")).toString(), QStringLiteral(";"), paths);
    }
    paths.removeAll(QString());
    return paths;
}

std::optional<QString> w_recimail::bodyOrTell(long row) const
{
    QString error;
    std::optional<QString> body = m_rows->readBody(row, &error);
    if (!body)
        platform::dialogs().messageBox(QString(), QStringLiteral("无法读取邮件正文！"), error);
    return body;
}
