#include "htmlview/mail_page_document.h"

#include <QByteArray>
#include <QImage>
#include <optional>

namespace htmlview {

namespace {

bool isDataUrl(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0;
}

// "data:[<mediatype>][;base64],<data>"
std::optional<QByteArray> decodeDataUrl(const QUrl &url)
{
    const QByteArray text = url.toEncoded(QUrl::RemoveScheme);
    const qsizetype comma = text.indexOf(',');
    if (comma < 0)
        return std::nullopt;
    const QByteArray header = text.left(comma).toLower();
    const QByteArray payload = QByteArray::fromPercentEncoding(text.mid(comma + 1));
    if (header.endsWith(";base64"))
        return QByteArray::fromBase64(payload);
    return payload;
}

// A real value even when empty: for a null one the document, and for a
// null image the image handler, would look for the name on disk.
QVariant emptyResource(int type)
{
    if (type == QTextDocument::ImageResource) {
        QImage transparent(1, 1, QImage::Format_ARGB32);
        transparent.fill(Qt::transparent);
        return transparent;
    }
    return QString(QLatin1String(""));
}

} // namespace

QVariant mailResource(int type, const QUrl &name)
{
    const std::optional<QByteArray> data = isDataUrl(name) ? decodeDataUrl(name) : std::nullopt;
    if (!data || data->isEmpty())
        return emptyResource(type);
    if (type == QTextDocument::ImageResource) {
        const QImage image = QImage::fromData(*data);
        return image.isNull() ? emptyResource(type) : QVariant(image);
    }
    return *data;
}

QVariant MailPageDocument::loadResource(int type, const QUrl &name)
{
    return mailResource(type, name);
}

} // namespace htmlview
