// SPDX-License-Identifier: MIT
#include "scripted_smtp_server.h"

#include <QTcpSocket>

ScriptedSmtpServer::ScriptedSmtpServer(Behaviour behaviour, QObject *parent)
    : QObject(parent), m_behaviour(behaviour)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedSmtpServer::accept);
}

bool ScriptedSmtpServer::listen(const QHostAddress &address)
{
    return m_server.listen(address, 0);
}

void ScriptedSmtpServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        if (m_behaviour.implicitTls)
            startServerTls(socket, m_behaviour.tls);
        if (m_behaviour.greet)
            socket->write(m_behaviour.greeting);
        else
            m_stalled = true; // silent throughout: a TLS ClientHello can hold CR LF bytes
    }
}

void ScriptedSmtpServer::answer(QTcpSocket *socket, const QByteArray &line)
{
    socket->write(line + "\r\n");
}

void ScriptedSmtpServer::readData(QTcpSocket *socket, const QByteArray &bytes)
{
    dataBytes += bytes.size();
    m_tail = (m_tail + bytes).right(5);
    if (m_behaviour.dropAfterDataBytes >= 0 && dataBytes >= m_behaviour.dropAfterDataBytes) {
        socket->abort();
        return;
    }
    if (m_tail == "\r\n.\r\n") {
        dataEnded = true;
        m_inData = false;
        if (m_behaviour.answerEndOfData)
            answer(socket, "250 2.0.0 queued");
    }
}

void ScriptedSmtpServer::read(QTcpSocket *socket)
{
    if (m_inData) {
        readData(socket, socket->readAll());
        return;
    }
    m_buffer += socket->readAll();
    int end;
    while (!m_inData && (end = m_buffer.indexOf("\r\n")) >= 0) {
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 2);
        lines << line;
        const QByteArray verb = m_authStepsLeft > 0 ? QByteArray("AUTH-RESPONSE") : line.split(' ').value(0).toUpper();
        if (m_stalled)
            continue;
        if (!m_behaviour.dropAtCommand.isEmpty() && verb == m_behaviour.dropAtCommand) {
            socket->abort();
            return;
        }
        if (!m_behaviour.stallAtCommand.isEmpty() && verb == m_behaviour.stallAtCommand) {
            m_stalled = true;
            continue;
        }
        if (m_behaviour.replies.contains(verb)) {
            socket->write(m_behaviour.replies.value(verb));
            continue;
        }
        if (m_authStepsLeft > 0) {
            --m_authStepsLeft;
            answer(socket, m_authStepsLeft > 0 ? "334 UGFzc3dvcmQ6" : "235 2.7.0 welcome");
        } else if (verb == "EHLO") {
            answer(socket, m_behaviour.rejectEhlo
                               ? QByteArray("502 5.5.1 say HELO")
                               : "250-scripted.example\r\n250-AUTH " + m_behaviour.authMechanisms
                                     + (m_behaviour.offerStartTls ? "\r\n250-STARTTLS" : "") + "\r\n250 8BITMIME");
        } else if (verb == "STARTTLS" && m_behaviour.offerStartTls) {
            answer(socket, "220 2.0.0 go ahead");
            startServerTls(socket, m_behaviour.tls);
        } else if (verb == "HELO" || verb == "MAIL" || verb == "RCPT" || verb == "RSET") {
            answer(socket, "250 OK");
        } else if (verb == "AUTH") {
            const bool login = line.toUpper().contains("LOGIN");
            m_authStepsLeft = login ? 2 : 1;
            answer(socket, login ? "334 VXNlcm5hbWU6" : "334 ");
        } else if (verb == "DATA") {
            answer(socket, "354 go ahead");
            m_inData = true;
            m_tail = "\r\n";
            if (!m_buffer.isEmpty()) {
                const QByteArray rest = m_buffer;
                m_buffer.clear();
                readData(socket, rest);
            }
        } else if (verb == "QUIT") {
            answer(socket, "221 bye");
            socket->disconnectFromHost();
        } else {
            answer(socket, "500 5.5.2 unknown command");
        }
    }
}
