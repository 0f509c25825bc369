// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// The recipient text split at "," "，" ";" and "；" where they stand outside
// double quotes and angle brackets: `"Zhang, San" <bob@example.cn>` stays one
// piece. Pieces are kept as they stand, empty ones and spaces included.
QStringList splitOutsideQuotes(const QString &text);

// True when the piece (spaces around it aside) is exactly one address:
// "a@x.cn", "<a@x.cn>" or "Name <a@x.cn>", with one "@" outside quotes and
// no space in the address. "bob at x.cn", "a@x.cn b@y.cn" and
// "<a@x.cn,b@y.cn>" are not.
bool isSingleAddress(const QString &piece);

// The recipient pieces that are to be sent: the split text without the
// blank pieces of doubled or trailing separators. The first piece that is
// not exactly one address goes to `malformed` and ends the list: a send
// that would drop one recipient is not made at all.
QStringList recipientPieces(const QString &text, QString *malformed);

} // namespace engine
