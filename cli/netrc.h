// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

// The password ~/.netrc gives for `user` at `host`: the first "machine"
// entry of that host (else the "default" entry) whose login is `user` or
// that names no login. A file that group or others may read is not used:
// `warning` then says so, as ftp does.
std::optional<QString> netrcPassword(const QString &path, const QString &host, const QString &user,
                                     QString &warning);
