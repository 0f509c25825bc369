// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

// Where orvex-cli looks for a logon password, in this order: --password,
// --password-command, the environment variable ORVEX_PASSWORD, ~/.netrc,
// and last a prompt on the terminal when standard input is one.
struct PasswordSources {
    std::optional<QString> option;   // --password
    std::optional<QString> command;  // --password-command
    QString environment;             // ORVEX_PASSWORD
    QString netrcPath;               // usually ~/.netrc
};

// The password of `user` at `host` (the server's name without scheme or
// port) from the first source that has one. Empty, with the reason in
// `error`, when the command fails or no source gives a password; warnings
// (a ~/.netrc that others can read) go to stderr.
std::optional<QString> findPassword(const PasswordSources &sources, const QString &host, const QString &user,
                                    QString &error);

// Overwrites the value of every --password in the program's own argument
// vector, so that ps and /proc show it no longer. The value was visible
// until now; the help says so.
void hidePasswordArguments(int argc, char *argv[]);
