#pragma once

#include <QSet>
#include <QString>
#include <optional>

namespace engine {

// Chooses the files the attachments of one fetch are saved to, all inside
// one folder. An attachment's name is reduced to a plain file name, so that
// no name leads outside the folder; a name this fetch has already used gets
// a numbered variant ("a (2).txt"), so that each saved attachment keeps its
// own file. A file that was there before the fetch is replaced.
class AttachmentTargets {
public:
    // `folder` as the caller gave it; the separator is added when missing.
    // An empty folder stands for the current directory.
    explicit AttachmentTargets(const QString &folder);

    QString folder() const { return m_folder; }

    // The full path for an attachment called `name`, or nothing when no
    // path inside the folder can be made for it.
    std::optional<QString> targetFor(const QString &name) const;

    // Records that this fetch wrote `path`.
    void markWritten(const QString &path) { m_written.insert(path); }

private:
    bool isInsideFolder(const QString &path) const;

    QString m_folder;
    QSet<QString> m_written;
};

// The plain file name an attachment called `name` is saved under: the part
// after the last "/" or "\", without control characters, at most 255 bytes
// long (the extension kept); "附件" when nothing usable is left.
QString plainFileName(const QString &name);

// "a.txt", 2 -> "a (2).txt"; "README", 3 -> "README (3)".
QString numberedVariant(const QString &fileName, int number);

} // namespace engine
