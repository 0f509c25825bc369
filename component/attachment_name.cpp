// SPDX-License-Identifier: MIT
#include "component/attachment_name.h"

#include <QMimeDatabase>
#include <QMimeType>

#include <algorithm>

namespace component {

namespace {

constexpr qsizetype kMaxNameBytes = 200;

bool isUnsafeCharacter(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:     // C0, C1
    case QChar::Other_Format:      // bidi overrides that disguise an extension
    case QChar::Other_Surrogate:   // a lone half of a pair
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString withoutDirectory(const QString &name)
{
    const qsizetype slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return slash < 0 ? name : name.mid(slash + 1);
}

QString cleaned(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            out += c;
            out += name.at(++i);
            continue;
        }
        if (c == QLatin1Char(';'))
            out += QLatin1Char('_');
        else if (!isUnsafeCharacter(c))
            out += c;
    }
    out = out.trimmed();
    // Leading dots hide the file, and "." and ".." name folders.
    qsizetype firstKept = 0;
    while (firstKept < out.size() && out.at(firstKept) == QLatin1Char('.'))
        ++firstKept;
    return out.mid(firstKept).trimmed();
}

// The first `maxBytes` bytes of `utf8`, or fewer so as not to split a
// character.
QByteArray cutAtCharacter(const QByteArray &utf8, qsizetype maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8;
    qsizetype cut = std::max<qsizetype>(0, maxBytes);
    // Continuation bytes (10xxxxxx) belong to the character before them.
    while (cut > 0 && (uchar(utf8.at(cut)) & 0xC0) == 0x80)
        --cut;
    return utf8.left(cut);
}

// Shortens `name` to kMaxNameBytes of UTF-8, keeping a short extension and
// never splitting a character. One pass over the name, however long.
QString shortened(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    if (utf8.size() <= kMaxNameBytes)
        return name;
    constexpr qsizetype kMaxExtensionBytes = 16;
    const qsizetype dot = utf8.lastIndexOf('.');
    const bool keepsExtension = dot > 0 && utf8.size() - dot <= kMaxExtensionBytes;
    const QByteArray extension = keepsExtension ? utf8.mid(dot) : QByteArray();
    const QByteArray stem = keepsExtension ? utf8.left(dot) : utf8;
    return QString::fromUtf8(cutAtCharacter(stem, kMaxNameBytes - extension.size()) + extension);
}

QString generatedName(int position, const QString &mimeType)
{
    QString suffix;
    if (!mimeType.isEmpty()) {
        const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType.toLower());
        if (type.isValid())
            suffix = type.preferredSuffix();
    }
    if (suffix.isEmpty())
        suffix = QStringLiteral("bin");
    return QStringLiteral("附件%1.%2").arg(position).arg(suffix);
}

} // namespace

QString safeAttachmentName(const QString &decodedName, int position, const QString &mimeType)
{
    const QString name = shortened(cleaned(withoutDirectory(decodedName)));
    if (name.isEmpty())
        return generatedName(position, mimeType);
    return name;
}

} // namespace component
