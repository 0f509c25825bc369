// SPDX-License-Identifier: MIT
#include "engine/attachment_targets.h"

#include "platform/files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace engine {

namespace {

// Most file systems limit one name to 255 bytes.
constexpr qsizetype kMaxNameBytes = 255;

const QString kFallbackName = QStringLiteral("附件");

// Attachment names may come with either kind of path separator.
bool isNameSeparator(QChar c)
{
    return c == u'/' || c == u'\\' || c == QDir::separator();
}

bool isFolderSeparator(QChar c)
{
    return c == u'/' || c == QDir::separator();
}

QString withoutControlCharacters(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            clean.append(c);
    }
    return clean;
}

// Splits "name.ext" at its last dot; a leading dot belongs to the stem.
std::pair<QString, QString> stemAndExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= 0)
        return {fileName, QString()};
    return {fileName.left(dot), fileName.mid(dot)};
}

// Shortens the stem until the whole name fits, never splitting a character.
QString fittedName(const QString &stem, const QString &extension)
{
    // The longest start of the stem that fits beside the extension, counted
    // once, a whole character (a surrogate pair) at a time.
    qsizetype room = kMaxNameBytes - extension.toUtf8().size();
    qsizetype end = 0;
    while (end < stem.size()) {
        const qsizetype width = stem.at(end).isHighSurrogate() && end + 1 < stem.size() ? 2 : 1;
        room -= QStringView(stem).mid(end, width).toUtf8().size();
        if (room < 0)
            break;
        end += width;
    }
    if (end == 0)
        return kFallbackName;
    return stem.left(end) + extension;
}

// A digest of the file's content; empty when it cannot be read, which
// matches no other.
QByteArray contentDigest(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray(1, '\0') + path.toUtf8();
    return hash.result();
}

} // namespace

QString plainFileName(const QString &name)
{
    qsizetype start = name.size();
    while (start > 0 && !isNameSeparator(name.at(start - 1)))
        --start;
    const QString base = withoutControlCharacters(name.mid(start));
    if (base.trimmed().isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
        return kFallbackName;
    if (base.toUtf8().size() <= kMaxNameBytes)
        return base;
    const auto [stem, extension] = stemAndExtension(base);
    if (extension.toUtf8().size() > kMaxNameBytes / 2)
        return fittedName(base, QString());
    return fittedName(stem, extension);
}

QString numberedVariant(const QString &fileName, int number)
{
    const auto [stem, extension] = stemAndExtension(fileName);
    return fittedName(stem, QStringLiteral(" (%1)").arg(number) + extension);
}

AttachmentTargets::AttachmentTargets(const QString &folder) : m_folder(folder)
{
    if (m_folder.isEmpty())
        m_folder = platform::currentDirectory();
    if (!isFolderSeparator(m_folder.back()))
        m_folder += QDir::separator();
}

std::optional<QString> AttachmentTargets::newScratchFile(QString *error) const
{
    QString reason;
    std::optional<QString> scratch = platform::createUniqueFile(m_folder + QStringLiteral(".orvex-fetch-XXXXXX"), &reason);
    if (!scratch)
        *error = QStringLiteral("无法在 %1 中建立文件：%2").arg(m_folder, reason);
    return scratch;
}

std::optional<QString> AttachmentTargets::place(const QString &scratch, const QString &name, QString *error)
{
    const QString fileName = plainFileName(name);
    NameRun &run = m_runs[fileName];
    bool failed = false;
    if (std::optional<QString> kept = reuseSameContent(scratch, run, error, &failed); kept || failed)
        return kept;
    const qint64 size = QFileInfo(scratch).size();
    for (;; ++run.nextNumber) {
        const int number = run.nextNumber;
        const QString target = m_folder + (number == 1 ? fileName : numberedVariant(fileName, number));
        if (!isInsideFolder(target)) {
            *error = QStringLiteral("“%1”不是 %2 中的文件名").arg(target, m_folder);
            return std::nullopt;
        }
        switch (platform::placeFile(scratch, target, error)) {
        case platform::Placement::Moved:
        case platform::Placement::SameContent:
            run.occupants.append({target, size, {}});
            ++run.nextNumber;
            return target;
        case platform::Placement::Occupied:
            run.occupants.append({target, QFileInfo(target).size(), {}});
            continue;
        case platform::Placement::Failed:
            return std::nullopt;
        }
    }
}

// Among the names looked at before, the file that already holds the
// scratch file's bytes; only files of the same size and digest are
// compared byte for byte.
std::optional<QString> AttachmentTargets::reuseSameContent(const QString &scratch, NameRun &run, QString *error,
                                                           bool *failed)
{
    const qint64 size = QFileInfo(scratch).size();
    QByteArray scratchDigest;
    for (Occupant &occupant : run.occupants) {
        if (occupant.size != size)
            continue;
        if (scratchDigest.isEmpty())
            scratchDigest = contentDigest(scratch);
        if (occupant.digest.isEmpty())
            occupant.digest = contentDigest(occupant.path);
        if (occupant.digest != scratchDigest)
            continue;
        switch (platform::placeFile(scratch, occupant.path, error)) {
        case platform::Placement::Moved:  // the file was removed since: the name is free again
        case platform::Placement::SameContent:
            return occupant.path;
        case platform::Placement::Occupied:
            continue;
        case platform::Placement::Failed:
            *failed = true;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool AttachmentTargets::isInsideFolder(const QString &path) const
{
    const QString folder = QDir::cleanPath(QDir(m_folder).absolutePath());
    const QFileInfo target(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    return QDir::cleanPath(target.absolutePath()) == folder && target.fileName() != QLatin1String("..")
           && target.fileName() != QLatin1String(".");
}

} // namespace engine
