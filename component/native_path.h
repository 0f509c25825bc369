// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace component {

// File names on Linux are bytes, and not always UTF-8: folders unpacked
// from archives or kept on old disks carry names in GBK or Latin-1. Qt
// turns such bytes into U+FFFD, after which the name leads elsewhere or
// nowhere. These two keep every byte: what is UTF-8 reads as its
// characters, every other byte b as the lone surrogate U+DC00 + b (as
// Python's "surrogateescape" does), and comes back as it was.
QString pathFromNative(const QByteArray &bytes);
QByteArray nativePath(const QString &path);

// Whether anything (a link included) bears the name `path`.
bool pathExists(const QString &path);

} // namespace component
