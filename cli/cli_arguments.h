#pragma once

#include "cli/exit_codes.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

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
    QString subject;
    QString body;            // as given, line breaks not yet converted
    bool html = false;
    QStringList attachments; // absolute paths of readable files
    bool receipt = false;
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
// is the value of ORVEX_PASSWORD, used when no --password is given. Reads
// the body file, since a file that cannot be read is a bad argument.
ParsedArguments parseArguments(const QStringList &arguments, const QString &environmentPassword);
