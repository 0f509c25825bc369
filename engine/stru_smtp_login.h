// SPDX-License-Identifier: MIT
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
    // TLS beyond the default of STARTTLS whenever offered.
    bool tlsrequired = false;  // no TLS offered: nothing is sent
    QString tlsfingerprint;    // SHA-256 of the one server certificate to trust
    QString cafile;            // an extra CA bundle; empty: ORVEX_CA_FILE
};
