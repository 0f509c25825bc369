// SPDX-License-Identifier: MIT
#include "component/native_path.h"

#include <sys/stat.h>

namespace component {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscapedByte(char16_t c)
{
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0.
qsizetype utf8SequenceLength(const QByteArray &bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes.at(i)); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF; // bounds of the second byte (RFC 3629)
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

QString pathFromNative(const QByteArray &bytes)
{
    QString path;
    path.reserve(bytes.size());
    qsizetype plainStart = 0;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = utf8SequenceLength(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        path += QString::fromUtf8(bytes.constData() + plainStart, at - plainStart);
        path += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes.at(at))));
        plainStart = ++at;
    }
    path += QString::fromUtf8(bytes.constData() + plainStart, bytes.size() - plainStart);
    return path;
}

QByteArray nativePath(const QString &path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype plainStart = 0;
    for (qsizetype at = 0; at < path.size(); ++at) {
        const char16_t c = path.at(at).unicode();
        // A low surrogate right after a high one is half of a character.
        if (!isEscapedByte(c) || (at > 0 && path.at(at - 1).isHighSurrogate()))
            continue;
        bytes += QStringView(path).mid(plainStart, at - plainStart).toUtf8();
        bytes += char(c - kEscapeBase);
        plainStart = at + 1;
    }
    bytes += QStringView(path).mid(plainStart).toUtf8();
    return bytes;
}

bool pathExists(const QString &path)
{
    struct stat status {};
    return ::lstat(nativePath(path).constData(), &status) == 0;
}

} // namespace component
