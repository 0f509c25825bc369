// SPDX-License-Identifier: MIT
#include "compose/w_sendmail.h"

#include "compose/sendmail_design.h"
#include "platform/layout_units.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace {

using compose::ControlDesign;
using compose::ControlKind;

QWidget *createControl(const ControlDesign &design, QWidget *parent)
{
    const QString text = QString::fromUtf8(design.text);
    switch (design.kind) {
    case ControlKind::StaticText:
        return new QLabel(text, parent);
    case ControlKind::SingleLineEdit:
        return new QLineEdit(text, parent);
    case ControlKind::MultiLineEdit:
        return new QPlainTextEdit(text, parent);
    case ControlKind::CheckBox:
        return new QCheckBox(text, parent);
    case ControlKind::CommandButton:
        return new QPushButton(text, parent);
    case ControlKind::GroupBox:
        return new QGroupBox(text, parent);
    case ControlKind::ListBox:
        return new QListWidget(parent);
    }
    return nullptr;
}

void applyDesign(QWidget *control, const ControlDesign &design)
{
    control->setObjectName(QString::fromLatin1(design.name));
    control->setGeometry(platform::unitsToPixels(design.x, design.y, design.width, design.height));
    control->setFont(compose::fontFor(design.font));
    if (design.blue) {
        QPalette palette = control->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        control->setPalette(palette);
    }
    if (auto *label = qobject_cast<QLabel *>(control)) {
        label->setAlignment((design.rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        label->setWordWrap(true);
    }
}

} // namespace

w_sendmail::w_sendmail(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("w_sendmail"));
    setWindowTitle(QStringLiteral("smtp发送邮件"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    // Labels, check boxes and group boxes draw no background of their own:
    // they show the form's button face, or the panel of the group they
    // stand in, as a Qt style draws it.
    setAutoFillBackground(true);
    resize(sizeHint());

    buildControls();
    setControlFlags();
    arrangeStackingOrder();
    arrangeTabOrder();
    nameFieldsByTheirCaptions();

    connect(cb_addfile, &QPushButton::clicked, this, &w_sendmail::cb_addfile_clicked);
    connect(cb_del, &QPushButton::clicked, this, &w_sendmail::cb_del_clicked);
    connect(cb_send, &QPushButton::clicked, this, &w_sendmail::cb_send_clicked);
    sle_password_constructor();
}

QSize w_sendmail::sizeHint() const
{
    return {platform::unitsToPixelsX(5024), platform::unitsToPixelsY(1996)};
}

template <typename T>
T *w_sendmail::control(const char *name) const
{
    return findChild<T *>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void w_sendmail::buildControls()
{
    for (const ControlDesign &design : compose::sendmailControls())
        applyDesign(createControl(design, this), design);

    sle_send_email = control<QLineEdit>("sle_send_email");
    sle_from_email = control<QLineEdit>("sle_from_email");
    sle_from_name = control<QLineEdit>("sle_from_name");
    sle_subject = control<QLineEdit>("sle_subject");
    mle_body = control<QPlainTextEdit>("mle_body");
    lb_attachments = control<QListWidget>("lb_attachments");
    cbx_receipt = control<QCheckBox>("cbx_receipt");
    cbx_sendhtml = control<QCheckBox>("cbx_sendhtml");
    sle_server = control<QLineEdit>("sle_server");
    sle_port = control<QLineEdit>("sle_port");
    sle_userid = control<QLineEdit>("sle_userid");
    sle_password = control<QLineEdit>("sle_password");
    cbx_smtpauth = control<QCheckBox>("cbx_smtpauth");
    mle_1 = control<QPlainTextEdit>("mle_1");
    mle_2 = control<QPlainTextEdit>("mle_2");
    cb_addfile = control<QPushButton>("cb_addfile");
    cb_del = control<QPushButton>("cb_del");
    cb_send = control<QPushButton>("cb_send");
}

void w_sendmail::setControlFlags()
{
    sle_password->setEchoMode(QLineEdit::Password);
    cbx_smtpauth->setChecked(true);

    // Multi-line fields hand Tab to the next control, as the form's tab
    // order expects.
    for (QPlainTextEdit *edit : {mle_body, mle_1, mle_2})
        edit->setTabChangesFocus(true);
    mle_body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mle_2->setLineWrapMode(QPlainTextEdit::NoWrap);
    mle_2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mle_2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // The fixed note: display only, borderless on the button face, yet it
    // takes the focus so that its text can be selected and copied.
    mle_1->setReadOnly(true);
    mle_1->setFrameShape(QFrame::NoFrame);
    mle_1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    mle_1->setFocusPolicy(Qt::StrongFocus);
    QPalette notePalette = mle_1->palette();
    notePalette.setColor(QPalette::Base, notePalette.color(QPalette::Window));
    mle_1->setPalette(notePalette);

    lb_attachments->setSortingEnabled(false);
    lb_attachments->setSelectionMode(QAbstractItemView::SingleSelection);
    lb_attachments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void w_sendmail::arrangeStackingOrder()
{
    // Raising from the last control to the first leaves the first on top.
    const auto designs = compose::sendmailControls();
    for (auto it = designs.rbegin(); it != designs.rend(); ++it)
        control<QWidget>(it->name)->raise();
    // The recipient line overlaps the end of its label and must stay whole.
    sle_send_email->raise();
}

void w_sendmail::arrangeTabOrder()
{
    // Every control in reading order, check boxes included: the mail group
    // top to bottom and left to right, then the server settings, then the
    // note and the log.
    static constexpr const char *chain[] = {
        "sle_send_email", "sle_from_name", "sle_from_email", "sle_subject", "mle_body",
        "lb_attachments", "cb_addfile", "cb_del", "cbx_receipt", "cbx_sendhtml", "cb_send",
        "sle_server", "cbx_smtpauth", "sle_port", "sle_userid", "sle_password",
        "mle_1", "mle_2",
    };
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
        QWidget::setTabOrder(control<QWidget>(chain[i]), control<QWidget>(chain[i + 1]));
}

void w_sendmail::nameFieldsByTheirCaptions()
{
    // Screen readers name a field by the caption in front of it.
    static constexpr std::pair<const char *, const char *> captions[] = {
        {"st_6", "sle_send_email"}, {"st_3", "sle_from_name"}, {"st_4", "sle_from_email"},
        {"st_1", "sle_subject"},    {"st_2", "mle_body"},      {"st_7", "lb_attachments"},
        {"st_11", "sle_server"},    {"st_8", "sle_port"},      {"st_10", "sle_userid"},
        {"st_9", "sle_password"},   {"st_16", "mle_1"},        {"st_19", "mle_2"},
    };
    for (const auto &[caption, field] : captions)
        control<QLabel>(caption)->setBuddy(control<QWidget>(field));
    // A list is not named by its buddy.
    lb_attachments->setAccessibleName(control<QLabel>("st_7")->text());
}

void w_sendmail::sle_password_constructor()
{
    // The form opens with the caret in the (empty) password field.
    sle_password->setFocus();
}
