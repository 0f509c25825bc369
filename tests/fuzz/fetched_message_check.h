// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Reads `raw` as a fetched message every way the POP3 side does (from a
// file, from memory, and as it arrives with its base64 runs decoded on the
// way) and checks that they agree; reads every field, checks every attachment name against the rules
// for names that end up in the user's folder, saves every attachment into
// `saveFolder` and checks that nothing landed anywhere else. Attachment
// temporary files go to the system temporary folder (TMPDIR).
//
// Returns an empty string when the message passes, else what went wrong.
// `saveFolder` must exist and be empty; it is left empty again. The input
// file is written next to it, in its parent folder. `savedCount`, when
// given, receives the number of attachments saved; `readFromSkeleton`,
// whether reading as it arrived needed no second look at the whole message.
QString checkFetchedMessage(const QByteArray &raw, const QString &saveFolder, int *savedCount = nullptr,
                            bool *readFromSkeleton = nullptr);

// The reason `name` may not be used as a file name in the user's folder,
// or an empty string when it may.
QString unsafeNameReason(const QString &name);
