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

} // namespace engine
