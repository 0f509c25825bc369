// SPDX-License-Identifier: MIT
#pragma once

#include "component/gmime_support.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace component {

class Message;

// The values of every header called `name` (any letter case) of `object`,
// in message order, as they stood in the message (folded, undecoded) but
// made ready for GMime's decoders: raw 8-bit text converted to UTF-8 with
// the parser's fallback charsets, and encoded words and RFC 2231 charset
// labels rewritten by normalizeEncodedWords().
QList<QByteArray> headerValues(GMimeObject *object, const char *name, GMimeParserOptions *options);

// Fills the sender, subject, date and recipients (every To, then every Cc)
// of `message` from the headers of `mime`.
void readMessageHeaders(GMimeMessage *mime, Message &message, GMimeParserOptions *options);

// The MIME type of `part` ("image/png"), in lower case; empty when unknown.
QString mimeTypeOf(GMimeObject *part);

// The decoded file name a part carries: the disposition's filename, else the
// content type's name, in their RFC 2231 and RFC 2047 forms. Empty when it
// has none.
QString partFileName(GMimeObject *part, GMimeParserOptions *options);

} // namespace component
