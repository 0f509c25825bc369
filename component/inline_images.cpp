// SPDX-License-Identifier: MIT
#include "component/inline_images.h"

#include "component/gobject_ref.h"
#include "component/mime_headers.h"

#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

#include <optional>

namespace component {

namespace {

// Bounds on what the body grows by: a picture of a few megapixels in a
// common format fits; the body of every fetched message stays in memory
// and goes whole into the view.
constexpr qint64 kMaxImageBytes = 1024 * 1024;
constexpr qint64 kMaxTotalBytes = 4 * 1024 * 1024;

bool isShowableImageType(const QString &mimeType)
{
    // SVG is a document of its own that may refer to further resources.
    return mimeType.startsWith(QLatin1String("image/")) && !mimeType.contains(QLatin1String("svg"));
}

// The decoded content of `part`, or nothing when it is larger than
// kMaxImageBytes. The encoded size is checked first, so that a large part
// is never decoded just to be thrown away.
std::optional<QByteArray> boundedContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    GMimeStream *encoded = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
    if (!encoded)
        return std::nullopt;
    const gint64 encodedSize = g_mime_stream_length(encoded);
    // Base64 takes four bytes for three, plus line breaks.
    if (encodedSize < 0 || encodedSize > kMaxImageBytes * 3 / 2)
        return std::nullopt;
    GObjectRef<GMimeStream> memory(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, memory.get()) < 0)
        return std::nullopt;
    QByteArray bytes = memoryStreamBytes(memory.get());
    if (bytes.size() > kMaxImageBytes)
        return std::nullopt;
    return bytes;
}

// A data: URL of the image `part` holds, or an empty string when it holds
// no image or one too large to inline.
QString dataUrlOf(GMimePart *part)
{
    const std::optional<QByteArray> content = boundedContent(part);
    if (!content || content->isEmpty())
        return {};
    QString type = mimeTypeOf(GMIME_OBJECT(part));
    // Many senders label their pictures application/octet-stream.
    if (!isShowableImageType(type))
        type = QMimeDatabase().mimeTypeForData(*content).name();
    if (!isShowableImageType(type))
        return {};
    return QStringLiteral("data:%1;base64,%2").arg(type, QString::fromLatin1(content->toBase64()));
}

} // namespace

QString withInlineImages(const QString &html, const PartsByContentId &parts)
{
    if (parts.isEmpty() || !html.contains(QLatin1String("cid:"), Qt::CaseInsensitive))
        return html;
    static const QRegularExpression reference(QStringLiteral("cid:([^\\s\"'<>()\\\\]+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QHash<QString, QString> urls;
    QString out;
    qsizetype done = 0;
    qint64 added = 0;
    for (auto it = reference.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString id = QUrl::fromPercentEncoding(match.captured(1).toUtf8()).toLower();
        GMimePart *part = parts.value(id);
        if (!part)
            continue;
        if (!urls.contains(id))
            urls.insert(id, dataUrlOf(part));
        const QString &url = urls[id];
        if (url.isEmpty() || added + url.size() > kMaxTotalBytes)
            continue;
        added += url.size();
        out += QStringView(html).mid(done, match.capturedStart() - done);
        out += url;
        done = match.capturedEnd();
    }
    out += QStringView(html).mid(done);
    return out;
}

} // namespace component
