#pragma once

#include <QWidget>

// The receive sheet: the POP3 form, the mail list and the message view.
class w_recimail : public QWidget {
    Q_OBJECT
public:
    explicit w_recimail(QWidget *parent = nullptr);
};
