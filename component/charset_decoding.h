#pragma once

#include <QByteArray>
#include <QString>

namespace component {

// The charset to decode text labelled `label` with. Labels of the GB family
// (gb2312, gbk, cp936, euc-cn, ...) give GB18030, their superset: much mail
// labelled gb2312 really holds GBK characters. Empty for an empty label.
QByteArray decodingCharset(const QByteArray &label);

// Decodes `bytes` labelled `label` into Unicode, never failing: with a known
// label the bytes are read in that charset (an invalid sequence becomes
// U+FFFD); with no label, or one iconv does not know, as UTF-8 when they
// are valid UTF-8, else as GB18030, else as UTF-8 with replacements.
QString decodeText(const QByteArray &bytes, const QByteArray &label);

// Rewrites the charset names of RFC 2047 encoded words ("=?gb2312?B?...")
// and RFC 2231 parameter values ("gbk''...") of the GB family in a raw
// header value to gb18030, so that a header decoder reads them in full.
QByteArray widenGbCharsets(const QByteArray &rawHeaderValue);

} // namespace component
