// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTimer>

#include "tls_capable_server.h"

// A POP3 server played from a script, for what a real server cannot be
// made to do on cue: drop the line or stall in the middle of a reply, or
// offer no TLS at all, answer nonsense, trickle, flood, present a
// certificate. It runs in the test's thread; the component's waits keep its
// events going. Every command it receives is recorded.
class ScriptedPop3Server : public QObject {
    Q_OBJECT
public:
    QList<QByteArray> capabilities = {"USER", "PIPELINING", "UIDL"};
    QList<QByteArray> messages;   // message n is messages[n - 1]
    QList<qint64> listedSizes;    // sizes LIST reports instead of the real ones; -1 leaves a message out
    QByteArray password = "secret";
    bool silentAtGreeting = false; // no greeting and no answer to anything
    int dropDuringRetr = 0;       // the line is cut halfway through this message
    int stallDuringRetr = 0;      // the server goes quiet halfway through this message
    int refuseRetr = 0;           // RETR of this message gets -ERR
    int refuseDele = 0;           // DELE of this message gets -ERR
    int floodRetr = 0;            // RETR of this message sends 64 MB of lines as fast as it can
    QByteArray afterMessage;      // sent right after every message's final "."
    // The answer to this verb ("GREETING" for the greeting) goes out a few
    // bytes every 100 ms.
    QByteArray trickleAt;
    int trickleBytes = 1;
    bool listWithoutEnd = false;  // LIST sends over a million lines and no end
    QByteArray greeting = "+OK scripted POP3 ready\r\n";
    // Faults at a command, by its verb ("PASS", "STAT", ...); the lines a
    // client sends inside an AUTH exchange count as "AUTH-RESPONSE".
    QByteArray dropAtCommand;     // close the line when it arrives
    QByteArray stallAtCommand;    // from it on, answer nothing
    QMap<QByteArray, QByteArray> replies; // verb -> raw bytes sent instead of the usual answer
    // TLS with this certificate and key: from the first byte, or after STLS
    // when the capabilities list "STLS". "SASL PLAIN" there offers AUTH PLAIN;
    // "SASL CRAM-MD5 PLAIN" also a CRAM-MD5 that refuses every password.
    QSslConfiguration tls;
    bool implicitTls = false;

    QList<QByteArray> commands;   // as received, without CRLF

    quint16 listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    int count(const QByteArray &prefix) const;

private:
    void accept();
    void readCommands();
    void answer(const QByteArray &command);
    void answerAsUsual(const QByteArray &verb, const QByteArray &line, int number);
    void sendMessage(int number);
    void send(const QByteArray &data);
    bool offersSasl(const QByteArray &mechanism) const;
    void trickle();
    void flood();

    TlsCapableServer m_server;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_input;
    bool m_stalled = false;
    bool m_inAuth = false;
    QByteArray m_authMechanism;
    bool m_trickling = false;
    QByteArray m_trickled;        // still to go out slowly
    QTimer m_trickleTimer;
    qint64 m_floodLeft = 0;
};
