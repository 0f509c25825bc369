// SPDX-License-Identifier: MIT
#pragma once

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>

// A TCP server whose connections are QSslSockets: plain until the scripted
// server starts TLS on them (at once for implicit TLS, or after STARTTLS or
// STLS), so the same script serves plain and encrypted clients.
class TlsCapableServer : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        addPendingConnection(socket);
    }
};

// Starts the server side of TLS on `socket` with `config` (certificate and
// key); what is written before the handshake ends goes out encrypted after it.
inline void startServerTls(QTcpSocket *socket, const QSslConfiguration &config)
{
    auto *ssl = qobject_cast<QSslSocket *>(socket);
    if (!ssl)
        qFatal("a scripted server's socket cannot start TLS");
    ssl->setSslConfiguration(config);
    ssl->startServerEncryption();
}
