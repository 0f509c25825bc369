// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace component {

// Reduces the file name a message gives an attachment to a plain name that
// is safe to join to a folder: no directory part (neither "/" nor "\"), no
// control or invisible formatting characters, no ";" (lists of saved paths
// are joined with it), no leading "." (no hidden files such as .bashrc),
// at most 200 bytes of UTF-8, the extension kept. When nothing usable is
// left, a name is made from the attachment's position (from 1) and the
// extension usual for its MIME type, e.g. "附件2.pdf".
QString safeAttachmentName(const QString &decodedName, int position, const QString &mimeType);

} // namespace component
