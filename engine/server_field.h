// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace engine {

// The server as the user named it: the host field may carry a port of its
// own ("mail.example.cn:587", "smtps://mail.example.cn:465", "[::1]:2525").
struct ServerField {
    QString host;  // the field without its port, scheme kept
    quint16 port;  // the port to use
};

// Reconciles the host field with the separate port (0: none given, then
// `defaultPort`). A port in the field is used when no other was given or
// when it is the same; a different one is a contradiction, refused with
// the reason in `error`, so that no address like "host:587:25" is made.
std::optional<ServerField> resolveServerField(const QString &field, quint16 port, quint16 defaultPort,
                                              QString *error);

// The usual port for a server field: `secure` when the field starts with
// the protocol's TLS scheme ("smtps://"), else `plain`.
quint16 defaultPortFor(const QString &field, quint16 plain, const QString &secureScheme, quint16 secure);

// The port a form's port field gives: a number from 1 to 65535, or 0 (no
// port given: the one in the server field, else the default) for anything
// else, and for the field's own untouched default, so that a port written
// into the server field is not contradicted by a value the user never
// chose.
quint16 portFromField(const QString &text, bool editedByUser, quint16 defaultPort);

} // namespace engine
