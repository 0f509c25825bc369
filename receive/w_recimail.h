// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stru_mail.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class d_email_list;
class em_number_mask;
class email_grid;
class u_web_browser;
class w_readmail;

// The receive sheet: the POP3 form, the mail list and the message view.
// Every control sits at a fixed place; nothing is laid out again when the
// window is resized.
class w_recimail : public QWidget {
    Q_OBJECT
public:
    // Size of the form in layout units.
    static constexpr int kWidthUnits = 3739;
    static constexpr int kHeightUnits = 1976;

    explicit w_recimail(QWidget *parent = nullptr);
    ~w_recimail() override;
    // The design size: what a sheet arranged in the frame starts from.
    QSize sizeHint() const override;

    // The rows of the mail list.
    d_email_list *mailList() const { return m_rows; }

    // The range of message numbers a fetch asks for: "0-0" for all
    // messages, else the two numbers as shown, the smaller first.
    QString rangeText() const;

    // Appends one row per fetched message to the list, in the given order.
    // The bodies go on to the list's spool; handed over with std::move, the
    // records are released as they get there.
    void appendToList(QList<stru_mail> mail);

public slots:
    // Fetches the mailbox into the list.
    void cb_rev_clicked();
    // Greys out the range while all messages are asked for.
    void cbx_all_clicked();
    // Shows message `row` (from 1) of the list; 0 does nothing.
    void dw_1_clicked(long row);
    // Copies the selected saved attachment to a place the user picks.
    void cb_addfile_clicked();
    // Opens message `row` (from 1) of the list in a window of its own; 0
    // does nothing. The window closes with the sheet.
    void openMessageWindow(long row);

public:
    // Copies the saved attachment `ls_pathname1` (empty: none selected) to a
    // place the user picks, and says how it went.
    static void downloadAttachment(const QString &ls_pathname1);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void arrangeTabOrder();
    void nameControlsByTheirCaptions();
    void stackControls();
    void sle_password_modified();
    void clearMessageView();
    QString recipientAddress() const;
    std::optional<QString> bodyOrTell(long row) const;
    // The saved attachments' full paths of row `row`: as the fetch gave
    // them, or, for a row filled in by hand, its `attach` column split at
    // ";"; never an empty entry.
    QStringList attachmentsOf(long row) const;

    d_email_list *m_rows;
    bool m_closing = false;
    QList<QPointer<w_readmail>> m_messageWindows;

    u_web_browser *ole_1;
    QLineEdit *sle_sendtime;
    QLabel *st_20;
    QLabel *st_3;
    QLabel *st_19;
    QCheckBox *cbx_all;
    QLabel *st_18;
    em_number_mask *em_1;
    QLabel *st_12;
    email_grid *dw_1;
    QCheckBox *cbx_deleteafterread;
    QLineEdit *sle_send_email;
    QLabel *st_16;
    QPlainTextEdit *mle_1;
    QLabel *st_15;
    QLabel *st_14;
    QLabel *st_13;
    QLabel *st_11;
    QLineEdit *sle_server;
    QLineEdit *sle_userid;
    QLabel *st_10;
    QLabel *st_9;
    QLineEdit *sle_password;
    QLabel *st_8;
    QLineEdit *sle_port;
    QLabel *st_1;
    QLineEdit *sle_subject;
    QLabel *st_2;
    QLabel *st_4;
    QLabel *st_6;
    QListWidget *lb_attachments;
    QLabel *st_7;
    QPushButton *cb_addfile;
    QLabel *st_17;
    QLabel *st_5;
    QPlainTextEdit *mle_body;
    QGroupBox *gb_1;
    QGroupBox *gb_2;
    QGroupBox *gb_3;
    QPushButton *cb_rev;
    em_number_mask *em_2;
    QLineEdit *sle_from_email;

    // Creation order, for stacking.
    QList<QWidget *> m_creationOrder;
};
