// SPDX-License-Identifier: MIT
#include "component/line_ends.h"

#include <QIODevice>

#include <cstring>

namespace component {

namespace {

constexpr qint64 kChunkBytes = 1024 * 1024;

// Calls `each(at)` for every bare LF in `data` (at its offset); `afterCr`
// tells whether the byte before `data` was a CR, and is updated to tell
// the same of its last byte.
template <typename Each>
void forEachBareLineFeed(const char *data, qsizetype size, bool &afterCr, Each each)
{
    for (qsizetype at = 0; at < size;) {
        const auto *newline = static_cast<const char *>(std::memchr(data + at, '\n', size_t(size - at)));
        if (!newline)
            break;
        const qsizetype position = qsizetype(newline - data);
        const bool carriageReturnBefore = position > 0 ? data[position - 1] == '\r' : afterCr;
        if (!carriageReturnBefore)
            each(position);
        at = position + 1;
    }
    if (size > 0)
        afterCr = data[size - 1] == '\r';
}

// Appends `data` to `out` with a CR put before each bare LF.
void appendWithCrlf(QByteArray &out, const char *data, qsizetype size, bool &afterCr)
{
    qsizetype copied = 0;
    forEachBareLineFeed(data, size, afterCr, [&](qsizetype at) {
        out.append(data + copied, at - copied);
        out.append('\r');
        copied = at;
    });
    out.append(data + copied, size - copied);
}

} // namespace

QByteArray withCrlfLineEnds(const QByteArray &bytes)
{
    qsizetype bare = 0;
    bool afterCr = false;
    forEachBareLineFeed(bytes.constData(), bytes.size(), afterCr, [&bare](qsizetype) { ++bare; });
    if (bare == 0)
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + bare);
    afterCr = false;
    appendWithCrlf(out, bytes.constData(), bytes.size(), afterCr);
    return out;
}

bool hasBareLineFeed(QIODevice &in)
{
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    bool afterCr = false;
    bool found = false;
    for (;;) {
        const qint64 n = in.read(chunk.data(), kChunkBytes);
        if (n <= 0)
            return false;
        forEachBareLineFeed(chunk.constData(), n, afterCr, [&found](qsizetype) { found = true; });
        if (found)
            return true;
    }
}

bool copyWithCrlfLineEnds(QIODevice &in, QIODevice &out, QString *error)
{
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    QByteArray converted;
    bool afterCr = false;
    for (;;) {
        const qint64 n = in.read(chunk.data(), kChunkBytes);
        if (n < 0) {
            *error = in.errorString();
            return false;
        }
        if (n == 0)
            return true;
        converted.resize(0);
        appendWithCrlf(converted, chunk.constData(), n, afterCr);
        if (out.write(converted) != converted.size()) {
            *error = out.errorString();
            return false;
        }
    }
}

} // namespace component
