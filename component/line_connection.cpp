// SPDX-License-Identifier: MIT
#include "component/line_connection.h"

#include "component/warm_up.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace component {

namespace {

constexpr int kDefaultTimeoutSeconds = 300;
// A polite close waits this long at most for the peer to take the rest.
constexpr int kCloseWaitMs = 3000;

// Every connection alive in this thread, for abandonAll(). A connection
// lives and dies in the thread that made it; the threads that each run
// their own transfers (the session bus service) must not end each other's.
QList<LineConnection *> &liveConnections()
{
    static thread_local QList<LineConnection *> connections;
    return connections;
}

QString protocolName(QSsl::SslProtocol protocol)
{
    switch (protocol) {
    case QSsl::TlsV1_2:
        return QStringLiteral("TLS 1.2");
    case QSsl::TlsV1_3:
        return QStringLiteral("TLS 1.3");
    default:
        return QStringLiteral("TLS");
    }
}

} // namespace

// The first TLS socket of a process loads the TLS library, its settings
// and cipher list: milliseconds of work, done ahead by a worker thread (see
// warmUpForMailSession()) while the line starts on a plain socket, which
// needs none of it, and the server's greeting is on its way.
void LineConnection::loadTlsLibrary()
{
    if (QSslSocket::supportsSsl())
        QSslConfiguration::defaultConfiguration();
}

LineConnection::LineConnection(int timeoutSeconds) : m_timer(std::make_unique<QTimer>())
{
    setTimeout(timeoutSeconds);
    m_timer->setSingleShot(true);
    liveConnections().append(this);
    adoptSocket(std::make_unique<QTcpSocket>());
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] {
        m_timedOut = true;
        if (m_loop)
            m_loop->quit();
    });
}

LineConnection::~LineConnection()
{
    liveConnections().removeOne(this);
    // The handlers point back at this object: none may run while it goes.
    QObject::disconnect(m_socket.get(), nullptr, nullptr, nullptr);
    QObject::disconnect(m_timer.get(), nullptr, nullptr, nullptr);
    m_socket->abort();
}

void LineConnection::adoptSocket(std::unique_ptr<QTcpSocket> socket)
{
    if (m_socket) {
        QObject::disconnect(m_socket.get(), nullptr, nullptr, nullptr);
        m_socket->abort();
    }
    m_socket = std::move(socket);
    m_tls = qobject_cast<QSslSocket *>(m_socket.get());
    m_readBatch = 0;

    // Anything that can change what a wait is waiting for ends the current
    // round of the local loop; waitUntil() then looks again.
    QTcpSocket *plain = m_socket.get();
    auto wake = [this] {
        if (m_loop)
            m_loop->quit();
    };
    QObject::connect(plain, &QIODevice::readyRead, plain, wake);
    QObject::connect(plain, &QIODevice::bytesWritten, plain, wake);
    QObject::connect(plain, &QAbstractSocket::stateChanged, plain, wake);
    QObject::connect(plain, &QAbstractSocket::errorOccurred, plain, wake);
    if (!m_tls)
        return;
    QObject::connect(m_tls, &QSslSocket::encryptedBytesWritten, m_tls, wake);
    QObject::connect(m_tls, &QSslSocket::encrypted, m_tls, wake);
    QObject::connect(m_tls, &QSslSocket::sslErrors, m_tls,
                     [this](const QList<QSslError> &errors) { checkCertificateErrors(errors); });
}

// The TLS socket gets a copy of the line's descriptor; the plain socket then
// closes its own, which leaves the line itself open. Nothing the plain
// socket had read is carried over: before a handshake there must be none.
bool LineConnection::moveLineToTlsSocket()
{
    const int line = ::fcntl(int(m_socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (line < 0)
        return fail(QStringLiteral("无法开始 TLS：%1").arg(qt_error_string(errno)), FailureKind::Tls);
    auto tls = std::make_unique<QSslSocket>();
    if (!tls->setSocketDescriptor(line, QAbstractSocket::ConnectedState, QIODevice::ReadWrite)) {
        ::close(line);
        return fail(QStringLiteral("无法开始 TLS：%1").arg(tls->errorString()), FailureKind::Tls);
    }
    // The certificate must name the host the user asked for, as it would
    // had the TLS socket made the connection itself.
    tls->setPeerVerifyName(m_host);
    adoptSocket(std::move(tls));
    return true;
}

void LineConnection::abandonAll()
{
    for (LineConnection *connection : liveConnections()) {
        connection->m_abandoned = true;
        // Aborted, not closed: nothing still unsent goes out.
        connection->fail(QStringLiteral("窗口已关闭，传输中止"), FailureKind::Other);
        if (connection->m_loop)
            connection->m_loop->quit();
    }
}

void LineConnection::setTimeout(int seconds)
{
    m_timeoutSeconds = seconds > 0 ? seconds : kDefaultTimeoutSeconds;
}

LineConnection::WaitResult LineConnection::waitUntil(const std::function<bool()> &done, const QDeadlineTimer &deadline)
{
    if (done())
        return WaitResult::Done;
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return WaitResult::Broken;

    QEventLoop loop;
    m_loop = &loop;
    m_timedOut = false;
    m_timer->start(int(std::min<qint64>(qint64(std::min(m_timeoutSeconds, INT_MAX / 1000)) * 1000,
                                        deadline.isForever() ? INT_MAX : deadline.remainingTime())));
    WaitResult result = WaitResult::Done;
    while (!done()) {
        if (m_abandoned) {
            result = WaitResult::Broken;
            break;
        }
        if (m_timedOut) {
            result = WaitResult::TimedOut;
            break;
        }
        if (m_socket->state() == QAbstractSocket::UnconnectedState) {
            result = WaitResult::Broken;
            break;
        }
        // User input stays queued (unless the application holds it back
        // itself): the window that started the transfer must not start
        // another one in the middle of this one. Once the program is
        // quitting, every local loop returns at once without taking events:
        // nothing more can arrive, the transfer is over.
        if (loop.exec(waitFlags()) != 0) {
            m_quitting = true;
            result = WaitResult::Broken;
            break;
        }
    }
    m_timer->stop();
    m_loop = nullptr;
    return result;
}

QEventLoop::ProcessEventsFlags LineConnection::waitFlags() const
{
    return m_passUserInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
}

QString LineConnection::socketErrorText() const
{
    if (!m_sslErrors.isEmpty())
        return QStringLiteral("服务器证书未通过验证：%1").arg(m_sslErrors.join(QStringLiteral("；")));
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError
        || m_socket->error() == QAbstractSocket::UnknownSocketError)
        return QStringLiteral("服务器关闭了连接");
    return m_socket->errorString();
}

FailureKind LineConnection::socketFailureKind() const
{
    if (!m_sslErrors.isEmpty() || m_socket->error() == QAbstractSocket::SslHandshakeFailedError
        || m_socket->error() == QAbstractSocket::SslInternalError
        || m_socket->error() == QAbstractSocket::SslInvalidUserDataError)
        return FailureKind::Tls;
    if (m_socket->error() == QAbstractSocket::HostNotFoundError)
        return FailureKind::UnknownHost;
    return FailureKind::Connection;
}

bool LineConnection::failWait(WaitResult result, const QString &what)
{
    if (hasFailed())
        return false;
    if (result == WaitResult::TimedOut)
        return fail(QStringLiteral("%1超时（%2 秒）").arg(what).arg(m_timeoutSeconds), FailureKind::Connection);
    if (m_quitting)
        return fail(QStringLiteral("%1时程序正在退出，传输中止").arg(what), FailureKind::Other);
    return fail(QStringLiteral("%1时连接中断：%2").arg(what, socketErrorText()), socketFailureKind());
}

bool LineConnection::fail(const QString &text, FailureKind kind)
{
    if (m_error.isEmpty()) {
        m_error = masked(text);
        m_failureKind = kind;
        log(QStringLiteral("错误：%1").arg(m_error));
    }
    abortWithReset();
    return false;
}

void LineConnection::abortWithReset()
{
    // A plain close would still send what the system holds for the line
    // (all of a message, its final "." included, when the server reads
    // slowly); with a zero linger time the close resets the line and
    // discards it.
    const qintptr descriptor = m_socket->socketDescriptor();
    if (descriptor != -1) {
        const linger reset{1, 0};
        ::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&reset), sizeof reset);
    }
    m_socket->abort();
}

void LineConnection::log(const QString &line) const
{
    if (m_logger)
        m_logger(masked(line));
}

void LineConnection::addSecret(const QByteArray &secret)
{
    // Shorter texts would mask ordinary words and numbers of the replies.
    constexpr qsizetype kShortestMasked = 3;
    const QString text = QString::fromUtf8(secret);
    if (text.size() < kShortestMasked || m_secrets.contains(text))
        return;
    m_secrets.append(text);
    // Longest first, so that a secret that holds another is masked whole.
    std::sort(m_secrets.begin(), m_secrets.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
}

QString LineConnection::masked(const QString &text) const
{
    QString result = text;
    for (const QString &secret : m_secrets)
        result.replace(secret, QStringLiteral("********"));
    return result;
}

bool LineConnection::prepareTls()
{
    m_sslErrors.clear();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    const QString extraCaFile =
        m_tlsPolicy.caFile.isEmpty() ? qEnvironmentVariable("ORVEX_CA_FILE") : m_tlsPolicy.caFile;
    // Added by its path, the extra bundle is trusted besides the system
    // store, whose certificates Qt looks up when a chain needs them; added
    // as a list of certificates, it would take the system store's place. A
    // bundle that was named and cannot be read fails the connection: the
    // server it is meant for would fail to verify anyway, with a reason
    // that hides the cause.
    if (!extraCaFile.isEmpty() && !config.addCaCertificates(extraCaFile, QSsl::Pem))
        return fail(QStringLiteral("CA 证书文件 %1 无法读取或不含证书").arg(extraCaFile), FailureKind::Tls);
    m_tls->setSslConfiguration(config);
    return true;
}

// A pinned certificate stands in for the whole chain of trust: when the
// server shows exactly that one, its chain's errors do not count.
void LineConnection::checkCertificateErrors(const QList<QSslError> &errors)
{
    if (!m_tlsPolicy.fingerprint.isEmpty() && pinnedCertificateMatches()) {
        m_tls->ignoreSslErrors();
        return;
    }
    for (const QSslError &error : errors)
        m_sslErrors.append(error.errorString());
}

bool LineConnection::pinnedCertificateMatches() const
{
    const QSslCertificate certificate = m_tls ? m_tls->peerCertificate() : QSslCertificate();
    return !certificate.isNull() && certificate.digest(QCryptographicHash::Sha256) == m_tlsPolicy.fingerprint;
}

bool LineConnection::failConnect(WaitResult result, const QString &target)
{
    if (m_quitting)
        return fail(QStringLiteral("连接 %1 时程序正在退出，传输中止").arg(target), FailureKind::Other);
    if (result == WaitResult::TimedOut)
        return fail(QStringLiteral("连接 %1 超时（%2 秒）").arg(target).arg(m_timeoutSeconds), FailureKind::Connection);
    return fail(QStringLiteral("无法连接 %1：%2").arg(target, socketErrorText()), socketFailureKind());
}

bool LineConnection::waitForEncrypted(const QString &target)
{
    const WaitResult result = waitUntil([this] { return m_tls->isEncrypted(); });
    if (result != WaitResult::Done)
        return failConnect(result, target);
    if (!m_tlsPolicy.fingerprint.isEmpty() && !pinnedCertificateMatches())
        return fail(QStringLiteral("服务器 %1 的证书指纹 %2 与指定的 %3 不符")
                            .arg(target,
                                 fingerprintText(m_tls->peerCertificate().digest(QCryptographicHash::Sha256)),
                                 fingerprintText(m_tlsPolicy.fingerprint)),
                    FailureKind::Tls);
    log(QStringLiteral("已建立加密连接（%1）").arg(tlsDescription()));
    return true;
}

bool LineConnection::connectToHost(const QString &host, quint16 port, bool implicitTls)
{
    if (m_abandoned)
        return false;
    m_host = host;
    m_port = port;
    m_error.clear();
    m_failureKind = FailureKind::None;
    adoptSocket(std::make_unique<QTcpSocket>());
    const QString target = QStringLiteral("%1:%2").arg(host).arg(port);
    log(QStringLiteral("连接 %1%2").arg(target, implicitTls ? QStringLiteral("（TLS）") : QString()));

    warmUpForMailSession();
    m_socket->connectToHost(host, port);
    const WaitResult result = waitUntil([this] { return m_socket->state() == QAbstractSocket::ConnectedState; });
    if (result != WaitResult::Done)
        return failConnect(result, target);
    if (!implicitTls)
        return true;
    if (!QSslSocket::supportsSsl())
        return fail(QStringLiteral("本机不支持 TLS，无法连接 %1").arg(target), FailureKind::Tls);
    if (!moveLineToTlsSocket() || !prepareTls())
        return false;
    m_tls->startClientEncryption();
    return waitForEncrypted(target);
}

bool LineConnection::startTls()
{
    if (hasFailed())
        return false;
    if (!QSslSocket::supportsSsl())
        return fail(QStringLiteral("本机不支持 TLS"), FailureKind::Tls);
    // Nothing the server sent before the handshake may count as part of the
    // protected session.
    m_socket->readAll();
    if (!moveLineToTlsSocket() || !prepareTls())
        return false;
    m_tls->startClientEncryption();
    return waitForEncrypted(QStringLiteral("%1:%2").arg(m_host).arg(m_port));
}

bool LineConnection::awaitGreeting(const QString &hint)
{
    if (hasFailed())
        return false;
    const int seconds = std::min(m_timeoutSeconds, kGreetingWaitSeconds);
    const WaitResult result =
            waitUntil([this] { return m_socket->bytesAvailable() > 0; }, QDeadlineTimer(qint64(seconds) * 1000));
    if (result == WaitResult::TimedOut)
        return fail(QStringLiteral("%1 秒内没有收到服务器的问候：%2").arg(seconds).arg(hint), FailureKind::Tls);
    if (result != WaitResult::Done)
        return failWait(result, QStringLiteral("等待服务器问候"));
    // A TLS record starts with its content type (22 handshake, 21 alert)
    // and the major version 3; no greeting line does.
    const QByteArray head = m_socket->peek(2);
    if (head.size() == 2 && (head[0] == 0x16 || head[0] == 0x15) && head[1] == 0x03)
        return fail(QStringLiteral("服务器发来的是 TLS 数据而不是问候：%1").arg(hint), FailureKind::Tls);
    return true;
}

bool LineConnection::canReadLine() const
{
    return m_socket->canReadLine();
}

qint64 LineConnection::bytesAvailable() const
{
    return m_socket->bytesAvailable();
}

bool LineConnection::readLine(QByteArray &line)
{
    line.clear();
    if (hasFailed())
        return false;
    const WaitResult result = waitUntil([this] {
        return m_socket->canReadLine() || m_socket->bytesAvailable() > m_maxLineLength + 2;
    });
    if (result != WaitResult::Done)
        return failWait(result, QStringLiteral("等待服务器应答"));

    line = m_socket->readLine(m_maxLineLength + 2);
    if (!line.endsWith('\n'))
        return fail(QStringLiteral("服务器发来的一行超过 %1 字节").arg(m_maxLineLength));
    line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() > m_maxLineLength)
        return fail(QStringLiteral("服务器发来的一行超过 %1 字节").arg(m_maxLineLength));
    return true;
}

bool LineConnection::readMore(QByteArray &buffer, qint64 maxBytes, const ReadDeadline &deadline)
{
    if (hasFailed())
        return false;
    // Which limit ends the wait is settled before it: a timer may fire a
    // little ahead of the deadline it stands for, and the reason must still
    // be the deadline's.
    const bool deadlineBinds =
        !deadline.at.isForever() && deadline.at.remainingTime() <= qint64(m_timeoutSeconds) * 1000;
    // A batch that does not come whole in time (a slow line, or the end of
    // the data nearer than the caller thought) is taken as far as it came;
    // the caller asks for the next batch anew.
    if (m_readBatch > 0 && m_socket->bytesAvailable() == 0
        && waitUntil([this] { return m_socket->bytesAvailable() > 0; }, QDeadlineTimer(kReadBatchWaitMs))
                   == WaitResult::TimedOut)
        setReadBatch(0);
    const WaitResult result = waitUntil([this] { return m_socket->bytesAvailable() > 0; }, deadline.at);
    if (result == WaitResult::TimedOut && deadlineBinds && !deadline.reason.isEmpty())
        return fail(deadline.reason, FailureKind::Connection);
    if (result != WaitResult::Done)
        return failWait(result, QStringLiteral("接收数据"));
    // Straight into the caller's buffer: a large message passes through
    // here in full, and every copy of it counts.
    const qsizetype before = buffer.size();
    buffer.resize(before + qsizetype(std::min(std::max<qint64>(1, maxBytes), m_socket->bytesAvailable())));
    const qint64 read = m_socket->read(buffer.data() + before, buffer.size() - before);
    buffer.resize(before + qsizetype(std::max<qint64>(0, read)));
    return true;
}

void LineConnection::setReadBatch(int bytes)
{
    if (bytes == m_readBatch)
        return;
    m_readBatch = std::max(0, bytes);
    setReceiveLowWater(std::max(1, m_readBatch));
}

// The system wakes a reader only once this much has arrived; lowering it
// wakes one at once when that much is there already. An optimisation only:
// a system that refuses it leaves every read as it was.
void LineConnection::setReceiveLowWater(int bytes)
{
    const qintptr descriptor = m_socket->socketDescriptor();
    if (descriptor != -1)
        ::setsockopt(int(descriptor), SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes);
}

bool LineConnection::hasUnreadData()
{
    if (m_socket->bytesAvailable() > 0)
        return true;
    // One round of the event loop moves what the system has received into
    // the socket's buffer; user input is treated as in every wait.
    QCoreApplication::processEvents(waitFlags());
    return m_socket->bytesAvailable() > 0;
}

qint64 LineConnection::pendingBytes() const
{
    return m_socket->bytesToWrite() + (m_tls ? m_tls->encryptedBytesToWrite() : 0);
}

bool LineConnection::write(const QByteArray &data)
{
    if (hasFailed())
        return false;
    if (!isConnected())
        return fail(QStringLiteral("发送数据时连接中断：%1").arg(socketErrorText()), socketFailureKind());
    if (m_socket->write(data) != data.size())
        return fail(QStringLiteral("发送数据失败：%1").arg(socketErrorText()), socketFailureKind());
    if (pendingBytes() <= kMaxPendingBytes)
        return true;
    const WaitResult result = waitUntil([this] { return pendingBytes() <= kMaxPendingBytes; });
    if (result != WaitResult::Done)
        return failWait(result, QStringLiteral("发送数据"));
    return true;
}

bool LineConnection::flush()
{
    if (hasFailed())
        return false;
    const WaitResult result = waitUntil([this] { return pendingBytes() == 0; });
    if (result != WaitResult::Done)
        return failWait(result, QStringLiteral("发送数据"));
    return true;
}

bool LineConnection::writeCommand(const QByteArray &command, const QString &shownAs)
{
    // A line break inside a command would start a command of its own; what
    // the callers check before, this makes sure of.
    if (command.contains('\r') || command.contains('\n') || command.contains('\0'))
        return fail(QStringLiteral("命令中含有换行或 NUL 字符，没有发出"), FailureKind::Input);
    log(QStringLiteral("C: %1").arg(shownAs.isEmpty() ? QString::fromUtf8(command) : shownAs));
    return write(command + "\r\n");
}

bool LineConnection::readReply(QByteArray &line)
{
    if (!readLine(line))
        return false;
    log(QStringLiteral("S: %1").arg(QString::fromUtf8(line)));
    return true;
}

void LineConnection::close()
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        const int saved = m_timeoutSeconds;
        m_timeoutSeconds = std::min(m_timeoutSeconds, kCloseWaitMs / 1000);
        waitUntil([this] { return m_socket->state() == QAbstractSocket::UnconnectedState; });
        m_timeoutSeconds = saved;
    }
    m_socket->abort();
}

bool LineConnection::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

bool LineConnection::isEncrypted() const
{
    return m_tls && m_tls->isEncrypted();
}

bool LineConnection::isLoopback() const
{
    return m_socket->peerAddress().isLoopback();
}

QHostAddress LineConnection::localAddress() const
{
    return m_socket->localAddress();
}

QString LineConnection::tlsDescription() const
{
    if (!isEncrypted())
        return QString();
    const QSslCipher cipher = m_tls->sessionCipher();
    return QStringLiteral("%1, %2").arg(protocolName(m_tls->sessionProtocol()), cipher.name());
}

} // namespace component
