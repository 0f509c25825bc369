// SPDX-License-Identifier: MIT
#include "component/text_charset.h"

#include "component/native_path.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

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

// True when every byte of `file`, read from the start, decodes in
// `charset`. Read in pieces, so that a large file costs no memory.
bool decodesStrictly(QFile &file, const QByteArray &charset)
{
    iconv_t cd = iconv_open("UTF-8", charset.constData());
    if (cd == reinterpret_cast<iconv_t>(-1) || !file.seek(0))
        return false;
    QByteArray pending; // bytes of a character cut at the end of a piece
    char output[16384];
    bool valid = true;
    while (valid) {
        const QByteArray piece = file.read(64 * 1024);
        if (piece.isEmpty()) {
            valid = pending.isEmpty() && file.error() == QFile::NoError;
            break;
        }
        pending += piece;
        char *in = pending.data();
        size_t inLeft = size_t(pending.size());
        while (inLeft > 0) {
            char *out = output;
            size_t outLeft = sizeof output;
            if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1) || errno == E2BIG)
                continue;
            valid = errno == EINVAL; // only an incomplete character at the end
            break;
        }
        pending = pending.right(qsizetype(inLeft));
    }
    iconv_close(cd);
    return valid;
}

} // namespace

QByteArray textFileCharset(const QString &path, const QByteArray &preferred)
{
    QFile file;
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    if (decodesStrictly(file, kUtf8))
        return QByteArrayLiteral("utf-8");
    if (!preferred.isEmpty() && !isUtf8Name(preferred) && decodesStrictly(file, preferred))
        return preferred.toLower();
    return {};
}

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
