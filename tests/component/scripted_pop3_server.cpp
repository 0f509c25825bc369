// SPDX-License-Identifier: MIT
#include "scripted_pop3_server.h"

quint16 ScriptedPop3Server::listen(const QHostAddress &address, quint16 port)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedPop3Server::accept);
    if (!m_server.listen(address, port))
        qFatal("the scripted POP3 server cannot listen: %s", qPrintable(m_server.errorString()));
    return m_server.serverPort();
}

int ScriptedPop3Server::count(const QByteArray &prefix) const
{
    int n = 0;
    for (const QByteArray &command : commands)
        n += command.startsWith(prefix) ? 1 : 0;
    return n;
}

void ScriptedPop3Server::accept()
{
    QTcpSocket *socket = m_server.nextPendingConnection();
    if (m_socket) {
        socket->abort();
        return;
    }
    m_socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, &ScriptedPop3Server::readCommands);
    connect(socket, &QTcpSocket::bytesWritten, this, &ScriptedPop3Server::flood);
    if (implicitTls)
        startServerTls(socket, tls);
    m_trickling = trickleAt == "GREETING";
    if (!silentAtGreeting)
        send(greeting);
    else
        m_stalled = true; // silent throughout: a TLS ClientHello can hold CR LF bytes
    m_trickling = false;
}

void ScriptedPop3Server::send(const QByteArray &data)
{
    if (!m_socket)
        return;
    if (m_trickling || !m_trickled.isEmpty()) {
        m_trickled += data;
        if (!m_trickleTimer.isActive()) {
            connect(&m_trickleTimer, &QTimer::timeout, this, &ScriptedPop3Server::trickle, Qt::UniqueConnection);
            m_trickleTimer.start(100);
        }
        return;
    }
    m_socket->write(data);
}

void ScriptedPop3Server::trickle()
{
    if (!m_socket || m_trickled.isEmpty()) {
        m_trickleTimer.stop();
        return;
    }
    m_socket->write(m_trickled.left(trickleBytes));
    m_trickled.remove(0, trickleBytes);
}

void ScriptedPop3Server::flood()
{
    const QByteArray lines = QByteArray(998, 'f').append("\r\n").repeated(64);
    while (m_socket && m_socket->state() == QAbstractSocket::ConnectedState && m_floodLeft > 0
           && m_socket->bytesToWrite() < 1024 * 1024) {
        m_socket->write(lines);
        m_floodLeft -= lines.size();
        if (m_floodLeft <= 0)
            m_socket->write(".\r\n");
    }
}

bool ScriptedPop3Server::offersSasl(const QByteArray &mechanism) const
{
    for (const QByteArray &capability : capabilities) {
        const QList<QByteArray> words = capability.split(' ');
        if (words.value(0) == "SASL" && words.mid(1).contains(mechanism))
            return true;
    }
    return false;
}

void ScriptedPop3Server::readCommands()
{
    if (!m_socket)
        return;
    m_input += m_socket->readAll();
    qsizetype end;
    while (m_socket && (end = m_input.indexOf("\r\n")) >= 0) {
        const QByteArray command = m_input.left(end);
        m_input.remove(0, end + 2);
        commands << command;
        if (!m_stalled)
            answer(command);
    }
}

void ScriptedPop3Server::sendMessage(int number)
{
    QByteArray data = messages.value(number - 1);
    data.replace("\r\n.", "\r\n..");
    if (data.startsWith('.'))
        data.prepend('.');
    if (!data.endsWith("\r\n"))
        data += "\r\n";
    if (number == floodRetr) {
        send("+OK here it comes\r\n");
        m_floodLeft = 64 * 1024 * 1024;
        flood();
        return;
    }
    if (number == dropDuringRetr || number == stallDuringRetr) {
        send("+OK message follows\r\n" + data.left(data.size() / 2));
        m_stalled = true;
        if (number == dropDuringRetr) {
            m_socket->flush();
            m_socket->disconnectFromHost();
        }
        return;
    }
    send("+OK " + QByteArray::number(data.size()) + " octets\r\n" + data + ".\r\n" + afterMessage);
}

void ScriptedPop3Server::answer(const QByteArray &line)
{
    const QByteArray verb = m_inAuth ? QByteArray("AUTH-RESPONSE") : line.split(' ').value(0).toUpper();
    const int number = line.split(' ').value(1).toInt();
    if (!dropAtCommand.isEmpty() && verb == dropAtCommand) {
        m_stalled = true;
        // Replies to the commands before it still go out, as from a server
        // that hangs up after its last answer.
        m_socket->flush();
        m_socket->abort();
        return;
    }
    if (!stallAtCommand.isEmpty() && verb == stallAtCommand) {
        m_stalled = true;
        return;
    }
    m_trickling = verb == trickleAt;
    if (replies.contains(verb))
        send(replies.value(verb));
    else
        answerAsUsual(verb, line, number);
    m_trickling = false;
}

void ScriptedPop3Server::answerAsUsual(const QByteArray &verb, const QByteArray &line, int number)
{
    if (verb == "AUTH-RESPONSE" && m_authMechanism == "CRAM-MD5") {
        m_inAuth = false;
        send("-ERR [AUTH] only hashed passwords are kept here\r\n");
    } else if (verb == "AUTH-RESPONSE") {
        m_inAuth = false;
        // PLAIN: authorization id, user and password separated by NUL bytes.
        const QByteArray secret = QByteArray::fromBase64(line).split('\0').value(2);
        send(secret == password ? "+OK logged in\r\n" : "-ERR [AUTH] wrong password\r\n");
    } else if (verb == "AUTH" && offersSasl(line.mid(5).toUpper())) {
        m_inAuth = true;
        m_authMechanism = line.mid(5).toUpper();
        send(m_authMechanism == "CRAM-MD5" ? "+ " + QByteArray("<1.1@scripted.example>").toBase64() + "\r\n"
                                           : QByteArray("+ \r\n"));
    } else if (verb == "STLS" && capabilities.contains("STLS")) {
        send("+OK begin TLS\r\n");
        startServerTls(m_socket, tls);
    } else if (verb == "CAPA") {
        QByteArray reply = "+OK\r\n";
        for (const QByteArray &capability : capabilities)
            reply += capability + "\r\n";
        send(reply + ".\r\n");
    } else if (verb == "USER") {
        send("+OK\r\n");
    } else if (verb == "PASS") {
        send(line.mid(5) == password ? "+OK logged in\r\n" : "-ERR [AUTH] wrong password\r\n");
    } else if (verb == "STAT") {
        qint64 total = 0;
        for (const QByteArray &message : messages)
            total += message.size();
        send("+OK " + QByteArray::number(messages.size()) + " " + QByteArray::number(total) + "\r\n");
    } else if (verb == "LIST" && listWithoutEnd) {
        QByteArray reply = "+OK\r\n";
        for (int i = 1; i <= 1000 * 1000 + 1; ++i)
            reply += QByteArray::number(i) + " 100\r\n";
        send(reply);
    } else if (verb == "LIST") {
        QByteArray reply = "+OK\r\n";
        for (int i = 0; i < messages.size(); ++i) {
            const qint64 size = listedSizes.value(i, messages[i].size());
            if (size >= 0)
                reply += QByteArray::number(i + 1) + " " + QByteArray::number(size) + "\r\n";
        }
        send(reply + ".\r\n");
    } else if (verb == "RETR") {
        if (number == refuseRetr || number < 1 || number > messages.size())
            send("-ERR no such message\r\n");
        else
            sendMessage(number);
    } else if (verb == "DELE") {
        send(number == refuseDele ? "-ERR message is locked\r\n" : "+OK marked\r\n");
    } else if (verb == "RSET") {
        send("+OK deletions undone\r\n");
    } else if (verb == "QUIT") {
        send("+OK bye\r\n");
        m_socket->disconnectFromHost();
    } else {
        send("-ERR unknown command\r\n");
    }
}
