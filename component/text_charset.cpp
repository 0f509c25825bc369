#include "component/text_charset.h"

#include <cerrno>
#include <iconv.h>

namespace component {

namespace {

const QByteArray kUtf8 = QByteArrayLiteral("UTF-8");

bool isUtf8Name(const QByteArray &charset)
{
    const QByteArray name = charset.toLower();
    return name == "utf-8" || name == "utf8";
}

// Converts UTF-8 to `charset` with the system's iconv, which (unlike a
// lenient table) refuses every character the charset does not define.
bool convertStrictly(const QByteArray &utf8, const QByteArray &charset, QByteArray &out)
{
    iconv_t cd = iconv_open(charset.constData(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.resize(utf8.size() * 4 + 16);
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != size_t(-1)
              && iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != size_t(-1);
    iconv_close(cd);
    if (!ok)
        return false;
    out.resize(out.size() - qsizetype(outLeft));
    return true;
}

} // namespace

EncodedText encodeText(const QString &text, const QByteArray &preferred)
{
    const QByteArray utf8 = text.toUtf8();
    if (preferred.isEmpty() || isUtf8Name(preferred))
        return {kUtf8, utf8};
    QByteArray converted;
    if (convertStrictly(utf8, preferred, converted))
        return {preferred, converted};
    return {kUtf8, utf8};
}

QByteArray charsetFor(const QString &text, const QByteArray &preferred)
{
    return encodeText(text, preferred).charset;
}

} // namespace component
