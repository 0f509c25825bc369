#include "component/attachment_name.h"

#include <QMimeDatabase>
#include <QMimeType>

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
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    return out.trimmed();
}

// Shortens `name` to kMaxNameBytes of UTF-8, keeping a short extension and
// never splitting a character.
QString shortened(const QString &name)
{
    if (name.toUtf8().size() <= kMaxNameBytes)
        return name;
    QString extension;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && name.size() - dot <= 16)
        extension = name.mid(dot);
    QString stem = name.left(dot > 0 && !extension.isEmpty() ? dot : name.size());
    while (!stem.isEmpty() && (stem + extension).toUtf8().size() > kMaxNameBytes) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    return stem + extension;
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
