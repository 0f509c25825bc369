// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace component {

// Text in the charset it goes out in, and that charset's MIME name.
struct EncodedText {
    QByteArray charset;
    QByteArray bytes;
};

// Encodes `text` in `preferred` when every character of it fits that
// charset exactly; otherwise (or when the charset is unknown) in UTF-8, so
// that no character is ever lost or replaced. The test is strict: a GB2312
// label is used only for text that GB2312 itself holds, never for text that
// needs GBK.
EncodedText encodeText(const QString &text, const QByteArray &preferred);

// The charset a header text goes out in, by the same rule.
QByteArray charsetFor(const QString &text, const QByteArray &preferred);

// The charset the bytes of the text file at `path` are in: "utf-8" when
// they are valid UTF-8 (ASCII included), else `preferred` when they decode
// in it without a fault; empty when neither holds or the file cannot be
// read.
QByteArray textFileCharset(const QString &path, const QByteArray &preferred);

} // namespace component
