// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;
class u_web_browser;

// One fetched message in a window of its own, where it has room to be read
// the way its sender laid it out: sender, date, recipients, subject, the
// body and the saved attachments with "下载". Several can be open at once;
// the receive sheet that opened them closes them with itself.
class w_readmail : public QWidget {
    Q_OBJECT
public:
    struct Message {
        QString sender;
        QDateTime sent;
        QStringList recipients;
        QString subject;
        QString body;
        bool html = false;
        QStringList attachments;  // full paths of the saved files
    };

    // The size a window opens at, unless the screen is smaller.
    static constexpr int kDefaultWidth = 800;
    static constexpr int kDefaultHeight = 700;

    // A window of its own (not a child control) that goes with `sheet`.
    w_readmail(const Message &message, QWidget *sheet);

private:
    void cb_download_clicked();

    QLineEdit *sle_from_email;
    QLineEdit *sle_sendtime;
    QLineEdit *sle_recipients;
    QLineEdit *sle_subject;
    u_web_browser *ole_body;
    QListWidget *lb_attachments;
    QPushButton *cb_download;
};
