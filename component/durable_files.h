// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace component {

// Saved attachments are not forced to disk one by one: that would cost a
// disk flush per file on every fetch. Instead each saved file is noted
// here, and before anything is deleted on a server every noted file (and
// the folder that names it) is flushed, so that a message only leaves the
// server once what was saved from it is safely on disk.
//
// A noted file is held open, so that it is flushed under whatever name it
// bears by then in its folder: the caller may still give it its final name.
// Past a few hundred files held open, the noted ones are flushed at once.

void noteUnsyncedFile(const QString &path);

// Flushes every noted file and its folder to disk and forgets them. False,
// with the path and reason in *error, when one cannot be flushed (the noted
// files stay noted, so a later attempt tries again).
bool syncNotedFiles(QString *error);

// Writes all of `data` to `fd`, past short writes and interruptions: 0, or
// the errno of the write that failed (the system's own reason, such as a
// full disk or a file size limit).
int writeAll(int fd, const char *data, qint64 size);

} // namespace component
