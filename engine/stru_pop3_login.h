// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
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
    // TLS beyond the default of STARTTLS whenever offered.
    bool tlsrequired = false;  // no TLS offered: nothing is sent
    QString tlsfingerprint;    // SHA-256 of the one server certificate to trust
    QString cafile;            // an extra CA bundle; empty: ORVEX_CA_FILE
    // A folder that receives each fetched message as the server sent it,
    // flushed to disk (stru_mail::rawfile names the file); empty: none.
    QString rawcopydir;
    // Fetch only messages whose unique id (UIDL) is not in seenuids; a
    // server without UIDL gets every message fetched.
    bool onlynew = false;
    QStringList seenuids;
};
