// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace component {

// Why a transfer failed, as a caller acts on it (an exit code, an error
// name). Reported by name in the property "failurekind" of Message and
// POP3; the names are part of the automation interface.
enum class FailureKind {
    None,
    Input,           // what the caller gave cannot be used
    Authentication,  // the server refused the login
    Connection,      // no connection, a broken line, a time-out: may work later
    UnknownHost,     // the host name does not resolve
    Tls,             // no TLS, a failed handshake, an untrusted certificate
    Unavailable,     // the server refuses service or lacks what is needed
    Refused,         // a recipient, the sender or the message was refused
    LocalFile,       // a local file could not be read or written
    Protocol,        // the server's replies made no sense
    Other,
};

inline QString failureKindName(FailureKind kind)
{
    switch (kind) {
    case FailureKind::None: return QString();
    case FailureKind::Input: return QStringLiteral("input");
    case FailureKind::Authentication: return QStringLiteral("authentication");
    case FailureKind::Connection: return QStringLiteral("connection");
    case FailureKind::UnknownHost: return QStringLiteral("unknownhost");
    case FailureKind::Tls: return QStringLiteral("tls");
    case FailureKind::Unavailable: return QStringLiteral("unavailable");
    case FailureKind::Refused: return QStringLiteral("refused");
    case FailureKind::LocalFile: return QStringLiteral("localfile");
    case FailureKind::Protocol: return QStringLiteral("protocol");
    case FailureKind::Other: break;
    }
    return QStringLiteral("other");
}

// A refusal by reply code: 4xx is temporary, anything else final.
inline FailureKind refusalKind(int replyCode, FailureKind finalKind)
{
    return replyCode >= 400 && replyCode < 500 ? FailureKind::Connection : finalKind;
}

} // namespace component
