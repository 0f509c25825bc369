// SPDX-License-Identifier: MIT
#include "htmlview/data_url.h"

#include <QBuffer>
#include <QImageReader>

namespace htmlview {

std::optional<QByteArray> dataUrlPayload(const QString &url)
{
    const QString trimmed = url.trimmed();
    if (!trimmed.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype comma = trimmed.indexOf(QLatin1Char(','));
    if (comma < 0)
        return std::nullopt;
    const QString header = trimmed.mid(5, comma - 5).toLower();
    const QByteArray payload = QByteArray::fromPercentEncoding(trimmed.mid(comma + 1).toLatin1());
    if (header.endsWith(QLatin1String(";base64")))
        return QByteArray::fromBase64(payload);
    return payload;
}

QImage imageFromDataUrl(const QString &url)
{
    std::optional<QByteArray> bytes = dataUrlPayload(url);
    if (!bytes || bytes->isEmpty())
        return QImage();
    QBuffer buffer(&*bytes);
    buffer.open(QIODevice::ReadOnly);
    // The reader keeps a picture that claims a huge size from taking all
    // memory (its allocation limit).
    QImageReader reader(&buffer);
    return reader.read();
}

} // namespace htmlview
