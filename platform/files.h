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

} // namespace platform
