// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSslConfiguration>

#include "tls_capable_server.h"

class QTcpSocket;

// A scripted SMTP server on a local port, for what a real server will not
// do on demand: stall, drop the line in the middle of the data, offer no
// TLS, refuse EHLO, answer nonsense, present a certificate. It runs in the test's own thread; the component's waits
// keep its events flowing. Speaks to one client at a time.
class ScriptedSmtpServer : public QObject {
    Q_OBJECT
public:
    struct Behaviour {
        bool greet = true;                 // false: accept and never say anything
        QByteArray greeting = "220-scripted.example ESMTP\r\n220 ready\r\n";
        bool rejectEhlo = false;           // 502 to EHLO, as servers before ESMTP
        QByteArray authMechanisms = "PLAIN LOGIN"; // only these two are understood
        qint64 dropAfterDataBytes = -1;    // close the line after this much data
        bool answerEndOfData = true;       // false: never answer the final "."
        // Faults at a command, by its verb ("EHLO", "MAIL", ...); the lines
        // a client sends inside an AUTH exchange count as "AUTH-RESPONSE".
        QByteArray dropAtCommand;          // close the line when it arrives
        QByteArray stallAtCommand;         // from it on, answer nothing
        QMap<QByteArray, QByteArray> replies; // verb -> raw bytes sent instead of the usual answer
        // TLS with this certificate and key: offered through STARTTLS, or
        // from the first byte.
        QSslConfiguration tls;
        bool offerStartTls = false;
        bool implicitTls = false;
    };

    explicit ScriptedSmtpServer(Behaviour behaviour, QObject *parent = nullptr);
    bool listen(const QHostAddress &address);
    quint16 port() const { return m_server.serverPort(); }

    // Every line received outside the message data, in order.
    QList<QByteArray> lines;
    qint64 dataBytes = 0;
    bool dataEnded = false;

private:
    void accept();
    void read(QTcpSocket *socket);
    void readData(QTcpSocket *socket, const QByteArray &bytes);
    void answer(QTcpSocket *socket, const QByteArray &line);

    Behaviour m_behaviour;
    TlsCapableServer m_server;
    QByteArray m_buffer;
    QByteArray m_tail;
    bool m_inData = false;
    int m_authStepsLeft = 0;
    bool m_stalled = false;
};
