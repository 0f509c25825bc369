// SPDX-License-Identifier: MIT
#pragma once

#include "cli/exit_codes.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What the connection must demand of TLS.
struct TlsArguments {
    bool required = false;   // --tls required
    QString fingerprint;     // --tls-fingerprint, as given
    QString caFile;          // --ca-file, absolute; empty: ORVEX_CA_FILE
};

// What `orvex-cli send` was asked to do, checked but not yet interpreted:
// the send command turns it into the engine's records.
struct SendArguments {
    QString server;
    quint16 port = 0;  // 0: the engine's default
    QString user;      // empty: no authentication
    QString password;
    QString from;
    QString fromName;
    QString to;
    QString cc;              // written into the message
    QString bcc;             // never written into the message
    QString subject;
    QString body;            // as given, line breaks not yet converted
    bool html = false;
    QStringList attachments; // absolute paths of readable files
    bool receipt = false;
    TlsArguments tls;
    bool log = false;
    int timeout = 0;  // seconds; 0: the engine's default
};

// What `orvex-cli fetch` was asked to do.
struct FetchArguments {
    QString server;
    quint16 port = 0;
    QString user;
    QString password;
    QString range = QStringLiteral("0-0");
    bool deleteAfterRead = false;
    QString attachDir;  // absolute path of an existing folder
    QString maildir;    // absolute path of a Maildir (tmp, new and cur exist); empty: none
    QString mbox;       // absolute path of an mbox file; empty: none
    bool onlyNew = false;
    TlsArguments tls;
    bool log = false;
    int timeout = 0;  // seconds; 0: the engine's default
};

struct ParsedArguments {
    enum Kind { Help, Version, Send, Fetch, Error };
    Kind kind = Error;
    QString text;  // the help text for Help, the version line for Version, the message for Error
    SendArguments send;
    FetchArguments fetch;
};

// Parses the whole command line (program name first). `environmentPassword`
// is the value of ORVEX_PASSWORD, one of the places a password is looked
// for (see password_sources.h). Reads the body file and finds the password,
// since a file that cannot be read and a logon without a password are bad
// arguments.
ParsedArguments parseArguments(const QStringList &arguments, const QString &environmentPassword);
