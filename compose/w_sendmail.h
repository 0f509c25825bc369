// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stru_mail.h"
#include "engine/stru_smtp_login.h"

#include <QWidget>

#include <optional>

class n_orvex;
struct MailtoLink;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The compose sheet: the SMTP server settings and one message, its
// attachment list, and the send action. The form keeps nothing but the
// values in its controls; every new sheet starts from the design defaults.
class w_sendmail : public QWidget {
    Q_OBJECT
public:
    explicit w_sendmail(QWidget *parent = nullptr);
    // The design size: what a sheet arranged in the frame starts from.
    QSize sizeHint() const override;

    // Puts the message a mailto: link describes into the form: its
    // recipients (Cc too, the form has one recipient line), subject and
    // body. Blind copies are left out and the user is told, since the
    // recipient line is seen by everyone the mail goes to.
    void fillFromMailto(const MailtoLink &link);

protected:
    // Hands the filled records to the engine and returns its result. The
    // send action goes through here and nowhere else, so a test can see
    // exactly what the form handed over.
    virtual int sendThroughEngine(n_orvex &ln_orvex, const stru_smtp_login &smtp, const stru_mail &mail);

private slots:
    void cb_addfile_clicked();
    void cb_del_clicked();
    void cb_send_clicked();

private:
    void buildControls();
    void setControlFlags();
    void arrangeStackingOrder();
    void arrangeTabOrder();
    void nameFieldsByTheirCaptions();
    void sle_password_constructor();

    struct MissingField {
        QLineEdit *field;
        QString message;
    };
    std::optional<MissingField> firstMissingServerField() const;
    stru_mail mailFromForm() const;
    stru_smtp_login smtpLoginFromForm() const;
    void showLog(const QString &log);

    template <typename T>
    T *control(const char *name) const;

    QLineEdit *sle_send_email = nullptr;
    QLineEdit *sle_from_email = nullptr;
    QLineEdit *sle_from_name = nullptr;
    QLineEdit *sle_subject = nullptr;
    QPlainTextEdit *mle_body = nullptr;
    QListWidget *lb_attachments = nullptr;
    QCheckBox *cbx_receipt = nullptr;
    QCheckBox *cbx_sendhtml = nullptr;
    QLineEdit *sle_server = nullptr;
    QLineEdit *sle_port = nullptr;
    QLineEdit *sle_userid = nullptr;
    QLineEdit *sle_password = nullptr;
    QCheckBox *cbx_smtpauth = nullptr;
    QPlainTextEdit *mle_1 = nullptr;
    QPlainTextEdit *mle_2 = nullptr;
    QPushButton *cb_addfile = nullptr;
    QPushButton *cb_del = nullptr;
    QPushButton *cb_send = nullptr;
};
