#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A POP3 server played from a script, for what a real server cannot be
// made to do on cue: drop the line or stall in the middle of a reply, or
// offer no TLS at all. It runs in the test's thread; the component's waits
// keep its events going. Every command it receives is recorded.
class ScriptedPop3Server : public QObject {
    Q_OBJECT
public:
    QList<QByteArray> capabilities = {"USER", "PIPELINING", "UIDL"};
    QList<QByteArray> messages;   // message n is messages[n - 1]
    QList<qint64> listedSizes;    // sizes LIST reports instead of the real ones
    QByteArray password = "secret";
    bool silentAtGreeting = false;
    int dropDuringRetr = 0;       // the line is cut halfway through this message
    int stallDuringRetr = 0;      // the server goes quiet halfway through this message
    int refuseRetr = 0;           // RETR of this message gets -ERR

    QList<QByteArray> commands;   // as received, without CRLF

    quint16 listen(const QHostAddress &address = QHostAddress::LocalHost);
    int count(const QByteArray &prefix) const;

private:
    void accept();
    void readCommands();
    void answer(const QByteArray &command);
    void sendMessage(int number);
    void send(const QByteArray &data);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_input;
    bool m_stalled = false;
};
