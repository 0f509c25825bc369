// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

namespace component {

// How one mail protocol names its servers: the schemes a user may write in
// front of the host, the usual port and the port that means TLS from the
// first byte.
struct ServerSchemes {
    QString secureScheme;   // "smtps": implicit TLS on any port
    QString plainScheme;    // "smtp": plain text asked for explicitly
    quint16 defaultPort;    // 25
    quint16 implicitTlsPort; // 465
};

struct ServerAddress {
    QString host;
    quint16 port = 0;
    bool implicitTls = false;
    // The user wrote the plain scheme: he knows the line is not encrypted.
    bool plainTextRequested = false;

    QString display() const;
};

// Parses "host:port" (host may be written "[v6 address]", and may carry one
// of the two schemes; no port, or port 0, means the default port). Empty,
// with the reason in `error`, for a text that names no usable server.
std::optional<ServerAddress> parseServerAddress(const QString &text, const ServerSchemes &schemes, QString *error);

} // namespace component
