#pragma once

#include <QString>
#include <QtGlobal>

// How to reach and log in to the SMTP server.
struct stru_smtp_login {
    QString host;
    quint16 port = 0;  // 0 stands for the standard port 25
    QString username;
    QString password;
    bool smtpauth = false;  // authenticate with username and password
    int timeout = 0;  // seconds a wait for the server may last; 0: the usual 300
};
