// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace component {

class Message;
class MessageSkeleton;

// Reads a message stored in a file (as a POP3 server sent it) into a
// fetched Message: sender, subject, date, To and Cc recipients, the text and
// HTML bodies decoded to Unicode, and the attachments, each decoded into
// memory when small or into a temporary file the attachment owns. The parser
// works on the file itself, so a large message or attachment never sits
// whole in memory.
//
// Every part ends up somewhere: inline text parts side by side form the
// body together (of alternatives, the first of each kind); every other part,
// at any depth, is an attachment, under a made-up name ("附件2.png",
// "附件3.eml") when it has none. A message with no body otherwise shows the
// first text/plain part that has a name but no disposition (kept as an
// attachment too). Pictures the HTML body shows through "cid:" references
// are also put into it as data: URLs.
//
// Bare LF line ends (bodies written by scripts under CRLF headers) are
// made CRLF before the message is parsed, so that none of them costs the
// byte before a boundary.
//
// Malformed mail is read as well as it can be: what cannot be made out
// stays empty. False (with `error`) only when the file cannot be read or
// an attachment cannot be written to the temporary folder.
bool readMimeMessage(const QString &path, Message &message, QString *error);

// The same for a message whose skeleton was taken as it arrived: read from
// the skeleton, each attachment decoded on the way taken as it is, when
// every such attachment fits the structure of the message; from the whole
// message otherwise.
bool readMimeMessage(MessageSkeleton &skeleton, Message &message, QString *error);

// The same for a small message held in memory.
bool readMimeMessage(const QByteArray &raw, Message &message, QString *error);

} // namespace component
