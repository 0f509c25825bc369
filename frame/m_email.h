// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QAction;
class w_main;

// The frame's menu and the toolbar built from it: "功能演示" with
// "SMTP发邮件", "POP3收邮件", a separator and "退出演示"; "窗口" with
// "层叠" and "平铺", which arrange the sheets; and "关于".
class m_email : public QObject {
    Q_OBJECT
public:
    explicit m_email(w_main *parentwindow);

private:
    void buildMenu();
    void buildToolbar();
    void clickedAbout();

    w_main *m_parentwindow;
    QAction *m_smtp = nullptr;
    QAction *m_pop3 = nullptr;
    QAction *m_exit = nullptr;
    QAction *m_about = nullptr;
    QAction *m_cascade = nullptr;
    QAction *m_tile = nullptr;
};
