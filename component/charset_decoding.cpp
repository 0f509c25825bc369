#include "component/charset_decoding.h"

#include "component/gmime_support.h"

#include <gmime/gmime.h>
#include <iconv.h>

#include <QRegularExpression>
#include <QStringDecoder>

#include <cerrno>

namespace component {

namespace {

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

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// The iconv name of a MIME charset label ("ks_c_5601-1987", "x-user-defined"
// and the like are mapped by GMime's table).
QByteArray iconvName(const QByteArray &label)
{
    ensureGMimeInitialized();
    const char *name = g_mime_charset_iconv_name(label.constData());
    return name ? QByteArray(name) : label;
}

} // namespace

QByteArray decodingCharset(const QByteArray &label)
{
    const QByteArray lower = label.trimmed().toLower();
    if (lower.isEmpty())
        return {};
    if (isGbFamily(lower))
        return QByteArrayLiteral("GB18030");
    return lower;
}

QString decodeText(const QByteArray &bytes, const QByteArray &label)
{
    if (bytes.isEmpty())
        return QString();
    const QByteArray charset = decodingCharset(label);
    QByteArray utf8;
    // A label of plain ASCII promises nothing about 8-bit bytes.
    const bool meaningful = !charset.isEmpty() && charset != "us-ascii" && charset != "ascii";
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

QByteArray widenGbCharsets(const QByteArray &rawHeaderValue)
{
    static const QRegularExpression encodedWord(
        QStringLiteral("=\\?(gb2312|gbk|x-gbk|cp936|euc-cn)(\\*[A-Za-z-]+)?\\?"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rfc2231(
        QStringLiteral("(\\*\\s*=\\s*\"?)(gb2312|gbk|x-gbk|cp936|euc-cn)'"), QRegularExpression::CaseInsensitiveOption);
    if (!rawHeaderValue.contains('\'') && !rawHeaderValue.contains("=?"))
        return rawHeaderValue;
    // Header bytes may be raw 8-bit text in any charset: rewrite only the
    // ASCII markers and keep every other byte as it is, by going through
    // Latin-1, which maps each byte to one character and back.
    QString text = QString::fromLatin1(rawHeaderValue);
    text.replace(encodedWord, QStringLiteral("=?gb18030\\2?"));
    text.replace(rfc2231, QStringLiteral("\\1gb18030'"));
    return text.toLatin1();
}

} // namespace component
