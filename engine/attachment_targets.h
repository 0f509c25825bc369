// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace engine {

// Gives the attachments of one fetch their files, all inside one folder,
// without ever destroying a file that is there already. An attachment is
// first saved under a scratch name in the folder; then it takes its own
// name, reduced to a plain file name so that no name leads outside the
// folder. A file of that name or of one of its numbered variants ("a (2).txt",
// "a (3).txt", ...) that holds exactly the same bytes is kept, whether it
// was there before or saved earlier in this fetch: the same attachment
// fetched twice leaves one file. Otherwise the attachment takes the first
// numbered variant that is free; numbering has no end.
class AttachmentTargets {
public:
    // `folder` as the caller gave it; the separator is added when missing.
    // An empty folder stands for the current directory.
    explicit AttachmentTargets(const QString &folder);

    QString folder() const { return m_folder; }

    // A new, empty, hidden file in the folder for an attachment to be saved
    // to first; nothing (the reason in *error) when none can be made.
    std::optional<QString> newScratchFile(QString *error) const;

    // Gives the attachment saved at `scratch` its own name and returns the
    // path of the file that now holds it; nothing (the reason in *error,
    // the scratch file left for the caller) when it cannot.
    std::optional<QString> place(const QString &scratch, const QString &name, QString *error);

private:
    // A file bearing one of the names an attachment may take.
    struct Occupant {
        QString path;
        qint64 size = -1;
        QByteArray digest; // of its content, once asked for
    };
    // The names of one plain file name seen so far in this fetch: those
    // below `nextNumber` are all occupied, so that a folder of many
    // variants is looked through once per fetch, not once per attachment.
    struct NameRun {
        int nextNumber = 1;
        QList<Occupant> occupants;
    };

    std::optional<QString> reuseSameContent(const QString &scratch, NameRun &run, QString *error, bool *failed);
    bool isInsideFolder(const QString &path) const;

    QString m_folder;
    QHash<QString, NameRun> m_runs;
};

// The plain file name an attachment called `name` is saved under: the part
// after the last "/" or "\", without control characters, at most 255 bytes
// long (the extension kept); "附件" when nothing usable is left.
QString plainFileName(const QString &name);

// "a.txt", 2 -> "a (2).txt"; "README", 3 -> "README (3)".
QString numberedVariant(const QString &fileName, int number);

} // namespace engine
