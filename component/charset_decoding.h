// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace component {

// The charset to decode text labelled `label` with. Labels of the GB family
// (gb2312, gbk, cp936, euc-cn, ...) give GB18030, their superset: much mail
// labelled gb2312 really holds GBK characters. Labels of ISO-8859-1 and
// US-ASCII give windows-1252, which most "Latin-1" mail really is (curly
// quotes, dashes and the euro sign in 0x80-0x9F). Empty for an empty label.
QByteArray decodingCharset(const QByteArray &label);

// Decodes `bytes` labelled `label` into Unicode, never failing: with a known
// label the bytes are read in that charset (an invalid sequence becomes
// U+FFFD); with no label, or one iconv does not know, as UTF-8 when they
// are valid UTF-8, else as GB18030, else as UTF-8 with replacements.
QString decodeText(const QByteArray &bytes, const QByteArray &label);

// True when `bytes` are valid UTF-8 (plain ASCII included).
bool isValidUtf8(const QByteArray &bytes);

// Rewrites a raw header value so that GMime's header decoder reads it in
// full: charset names of RFC 2047 encoded words ("=?gb2312?B?...") and of
// RFC 2231 parameter values ("gbk''...") become the charset decodingCharset()
// gives, and base64 encoded words become quoted-printable ones of the same
// bytes. GMime joins the bytes of adjacent encoded words of one charset
// before converting them (a character may be split between two words), but
// base64 padding in any word but the last ends that joined run early; in the
// quoted-printable form nothing is padded.
QByteArray normalizeEncodedWords(const QByteArray &rawHeaderValue);

} // namespace component
