#pragma once

#include <QString>
#include <QtGlobal>

// How to reach the POP3 mailbox and what to do with what is fetched.
struct stru_pop3_login {
    QString host;
    quint16 port = 0;  // 0 stands for the standard port 110
    QString username;
    QString password;
    QString attachpath;            // folder the attachments of fetched mail are saved into
    bool deleteafterread = false;  // delete the fetched messages on the server
    bool allmail = false;          // declared for completeness; the range text says what to fetch
    int timeout = 0;  // seconds a wait for the server may last; 0: the usual 300
};
