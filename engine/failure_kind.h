// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace engine {

// Why a transfer or a start-up step failed, as a caller acts on it: a front
// end picks its exit code or error name from this, never from the wording
// of the reason. The mail component reports the kinds it finds by name in
// the property "failurekind" of its Message and POP3 objects.
enum class FailureKind {
    None,            // nothing failed
    Input,           // what the user gave cannot be used (a malformed recipient, a contradictory port)
    Authentication,  // the server refused the login
    Connection,      // the line could not be opened, broke off or timed out; trying later may work
    UnknownHost,     // the server's name does not resolve
    Tls,             // TLS could not be set up or the certificate was not trusted
    Unavailable,     // the server or the component does not offer what is needed
    Refused,         // the server refused a recipient, the sender or the message, or the data is bad
    LocalFile,       // a local file could not be read or written
    Protocol,        // the server's replies made no sense
    Other,           // anything else; the reason says what
};

// The component's names of the kinds ("authentication", "tls", ...), and
// back; an unknown or empty name is Other.
QString failureKindName(FailureKind kind);
FailureKind failureKindFromName(const QString &name);

// A failure and the reason to show for it.
struct Failure {
    FailureKind kind = FailureKind::None;
    QString reason;

    bool failed() const { return kind != FailureKind::None; }
};

} // namespace engine
