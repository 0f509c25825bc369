#pragma once

#include <QWidget>

// The compose sheet: the send form and its actions.
class w_sendmail : public QWidget {
    Q_OBJECT
public:
    explicit w_sendmail(QWidget *parent = nullptr);
};
