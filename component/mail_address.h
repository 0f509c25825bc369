// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace component {

// One address of a message to send, taken apart once and checked: what
// goes into the envelope and into the header comes from here alone.
struct MailAddress {
    QString name;      // display name, may be empty
    QString localPart; // as written
    QString domain;    // in Unicode (an A-label given by the user is shown decoded)

    // "local@domain" with the domain in Unicode, for SMTPUTF8 and headers
    // in UTF-8 (RFC 6531, 6532).
    QString unicodeAddress() const;
    // "local@domain" in ASCII, the domain as its A-label (IDNA). Empty
    // when the local part is not ASCII: such an address cannot be written
    // without SMTPUTF8.
    QByteArray asciiAddress() const;
    bool isAscii() const;
};

// True when `text` holds a character that has no place in an address or a
// header line: CR, LF, NUL or any other control character.
bool hasControlCharacter(const QString &text);

// The text with its control characters written out as "\r", "\n", "\x1b",
// for a log line that must stay one line.
QString visibleControls(const QString &text);

// Parses "a@b" or "Name <a@b>" (RFC 5322, with GMime). Empty, with the
// reason in `error`, for text holding a control character, text that is
// not exactly one mailbox, or a domain that has no A-label.
std::optional<MailAddress> parseMailAddress(const QString &text, QString *error);

} // namespace component
