// SPDX-License-Identifier: MIT
#include "component/charset_decoding.h"

#include "component/gmime_support.h"

#include <gmime/gmime.h>
#include <iconv.h>

#include <QRegularExpression>
#include <QStringDecoder>

#include <cerrno>

namespace component {

namespace {

bool isLatin1OrAscii(const QByteArray &lower)
{
    static const char *const names[] = {
        "iso-8859-1", "iso8859-1", "iso_8859-1", "iso_8859-1:1987", "latin1", "l1", "cp819", "ibm819",
        "iso-ir-100", "csisolatin1", "us-ascii", "ascii", "us", "ansi_x3.4-1968", "iso646-us", "csascii",
    };
    for (const char *name : names) {
        if (lower == name)
            return true;
    }
    return false;
}

bool isGbFamily(const QByteArray &lower)
{
    static const char *const names[] = {
        "gb2312", "gb_2312-80", "gbk", "x-gbk", "cp936", "ms936", "windows-936", "euc-cn", "x-euc-cn",
        "csgb2312", "chinese", "iso-ir-58", "gb18030", "x-gb18030", "cn-gb",
    };
    for (const char *name : names) {
        if (lower == name)
            return true;
    }
    return false;
}

const QByteArray kReplacementUtf8 = QByteArrayLiteral("\xEF\xBF\xBD");

enum class Strictness { Strict, Lossy };

// Converts with iconv; false when the charset is unknown, or (strict) when
// the bytes are not valid in it. Lossy conversion replaces every invalid
// byte with U+FFFD and goes on.
bool convertToUtf8(const QByteArray &bytes, const QByteArray &charset, Strictness strictness, QByteArray &out)
{
    iconv_t cd = iconv_open("UTF-8", charset.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    out.reserve(bytes.size() * 3 / 2 + 16);
    char buffer[16 * 1024];
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    bool ok = true;
    while (true) {
        char *outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = inLeft > 0 ? iconv(cd, &in, &inLeft, &outPtr, &outLeft)
                                     : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, qsizetype(outPtr - buffer));
        if (rc != size_t(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (error == E2BIG)
            continue;
        // EILSEQ (an invalid sequence) or EINVAL (a sequence cut off at the end).
        if (strictness == Strictness::Strict) {
            ok = false;
            break;
        }
        out.append(kReplacementUtf8);
        if (error == EINVAL) {
            inLeft = 0;
            continue;
        }
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    return ok;
}

// The iconv name of a MIME charset label ("ks_c_5601-1987", "x-user-defined"
// and the like are mapped by GMime's table).
QByteArray iconvName(const QByteArray &label)
{
    ensureGMimeInitialized();
    const char *name = g_mime_charset_iconv_name(label.constData());
    return name ? QByteArray(name) : label;
}

// The label to give GMime for `label`: the charset decodingCharset() reads
// it as, or the label itself when that is its own.
QString relabelled(const QString &label)
{
    const QByteArray charset = decodingCharset(label.toLatin1());
    return charset == label.toLatin1().trimmed().toLower() ? label : QString::fromLatin1(charset);
}

// The bytes of an encoded word in the quoted-printable form: letters and
// digits as they are, every other byte as "=XX".
QString quotedPrintableWord(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        const uchar c = uchar(byte);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            out += QLatin1Char(char(c));
        else
            out += QStringLiteral("=%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

template <typename Replace>
QString replaceMatches(const QString &text, const QRegularExpression &pattern, Replace &&replace)
{
    QString out;
    qsizetype done = 0;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(done, match.capturedStart() - done);
        out += replace(match);
        done = match.capturedEnd();
    }
    out += QStringView(text).mid(done);
    return out;
}

} // namespace

QByteArray decodingCharset(const QByteArray &label)
{
    const QByteArray lower = label.trimmed().toLower();
    if (lower.isEmpty())
        return {};
    if (isGbFamily(lower))
        return QByteArrayLiteral("GB18030");
    if (isLatin1OrAscii(lower))
        return QByteArrayLiteral("windows-1252");
    return lower;
}

QString decodeText(const QByteArray &bytes, const QByteArray &label)
{
    if (bytes.isEmpty())
        return QString();
    const QByteArray charset = decodingCharset(label);
    QByteArray utf8;
    const bool meaningful = !charset.isEmpty();
    // Most mail is UTF-8 already; Qt's decoder replaces a bad sequence just
    // as the lossy conversion below would, without a pass through iconv.
    if (charset == "utf-8" || charset == "utf8")
        return QString::fromUtf8(bytes);
    if (meaningful) {
        const QByteArray name = charset == "GB18030" ? charset : iconvName(charset);
        if (convertToUtf8(bytes, name, Strictness::Lossy, utf8))
            return QString::fromUtf8(utf8);
    }
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    if (convertToUtf8(bytes, QByteArrayLiteral("GB18030"), Strictness::Strict, utf8))
        return QString::fromUtf8(utf8);
    return QString::fromUtf8(bytes);
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QByteArray normalizeEncodedWords(const QByteArray &rawHeaderValue)
{
    if (!rawHeaderValue.contains('\'') && !rawHeaderValue.contains("=?"))
        return rawHeaderValue;
    static const QRegularExpression encodedWord(
        QStringLiteral("=\\?([^?\\s*]+)(\\*[^?\\s]*)?\\?([BbQq])\\?([^?\\s]*)\\?="));
    static const QRegularExpression rfc2231Charset(QStringLiteral("(\\*\\s*=\\s*\"?)([A-Za-z0-9_.:-]+)'"));
    // Header bytes may be raw 8-bit text in any charset: rewrite only the
    // ASCII markup and keep every other byte as it is, by going through
    // Latin-1, which maps each byte to one character and back.
    const QString text = QString::fromLatin1(rawHeaderValue);
    QString words = replaceMatches(text, encodedWord, [](const QRegularExpressionMatch &m) {
        const QString charset = relabelled(m.captured(1));
        const QString language = m.captured(2);
        if (m.captured(3).compare(QLatin1String("B"), Qt::CaseInsensitive) == 0) {
            const auto bytes = QByteArray::fromBase64Encoding(m.captured(4).toLatin1(),
                                                              QByteArray::AbortOnBase64DecodingErrors);
            if (bytes)
                return QStringLiteral("=?%1%2?Q?%3?=").arg(charset, language, quotedPrintableWord(*bytes));
        }
        return QStringLiteral("=?%1%2?%3?%4?=").arg(charset, language, m.captured(3), m.captured(4));
    });
    const QString labels = replaceMatches(words, rfc2231Charset, [](const QRegularExpressionMatch &m) {
        return m.captured(1) + relabelled(m.captured(2)) + QLatin1Char('\'');
    });
    return labels.toLatin1();
}

} // namespace component
