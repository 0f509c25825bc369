// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QFile;

#include <optional>

namespace platform {

// Paths here keep every byte of a file name, also when it is not UTF-8 (a
// folder in GBK or Latin-1): such bytes stand in the text as the lone
// surrogates U+DC80 to U+DCFF, and every function below that reaches the
// file system gives them back as they were. Qt's own file classes would
// turn them into U+FFFD and so name another file.

// The command line, every argument read that way.
QStringList nativeArguments(int argc, char *argv[]);

// The process's current directory, and setting it (false when it cannot).
QString currentDirectory();
bool setCurrentDirectory(const QString &path);

// `path` made absolute against the current directory, and cleaned.
QString absolutePath(const QString &path);

// A regular file (a link to one counts), and one that can be read.
bool fileExists(const QString &path);
bool isReadableFile(const QString &path);
bool isFolder(const QString &path);

// Opens `file` for reading the file at `path`.
bool openForReading(QFile &file, const QString &path);

// Makes a new empty file from `pathTemplate`, whose last six characters
// are "XXXXXX", and returns its path; nothing, with the reason in *error,
// when it cannot be made.
std::optional<QString> createUniqueFile(const QString &pathTemplate, QString *error);

// Copies source to target, replacing a file at target. Copying a file onto
// itself leaves it intact and counts as done. False when the copy failed.
bool fileCopy(const QString &source, const QString &target);

// Deletes the file at path; false when there was none or it stays.
bool fileDelete(const QString &path);

// How placeFile() ended.
enum class Placement {
    Moved,        // source now bears the name target
    SameContent,  // target already held exactly source's bytes: it is kept (and flushed to disk), source removed
    Occupied,     // something else bears that name: nothing changed
    Failed,       // nothing changed; the reason is in *error
};

// Gives the file `source` the name `target` in the same folder without ever
// replacing anything of a different content: a free name is taken in one
// step (a file that appears there meanwhile is looked at, not replaced), a
// regular file holding the same bytes is kept as it is, anything else
// (another file, a folder, a link) is left alone.
Placement placeFile(const QString &source, const QString &target, QString *error);

} // namespace platform
