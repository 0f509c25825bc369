#pragma once

#include <QString>

namespace platform {

// The process's current directory, and setting it (false when it cannot).
QString currentDirectory();
bool setCurrentDirectory(const QString &path);

bool fileExists(const QString &path);

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
