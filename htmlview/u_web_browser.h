#pragma once

#include <QWidget>

// The HTML view: a QTextBrowser that runs no scripts and loads nothing
// from the network.
class u_web_browser : public QWidget {
    Q_OBJECT
public:
    explicit u_web_browser(QWidget *parent = nullptr);
};
