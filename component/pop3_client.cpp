// SPDX-License-Identifier: MIT
#include "component/pop3_client.h"

#include "component/sasl_client.h"
#include "component/server_address.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QScopeGuard>
#include <algorithm>
#include <cstring>
#include <limits>

namespace component {

namespace {

constexpr qint64 kReadChunk = 64 * 1024;
// How much of a large message is taken per wake-up.
constexpr int kReadBatch = 256 * 1024;
// Status lines (and CAPA, LIST lines) are short; a server sending more
// than this without a line break is broken or hostile.
constexpr qsizetype kMaxStatusLine = 64 * 1024;
// Bounds of the multi-line replies read as text: CAPA is a few lines; LIST
// has a line per message, and no real mailbox comes near a million.
constexpr qsizetype kMaxCapabilityLines = 1000;
constexpr qsizetype kMaxListLines = 1000 * 1000;
// How much a message may exceed twice the size LIST gave for it.
constexpr qint64 kSizeSlack = 16 * 1024 * 1024;

// The most a message listed at `listed` bytes may bring: twice that and
// the slack, or as much as a 64-bit count holds when that is more.
qint64 retrievalBound(qint64 listed)
{
    constexpr qint64 kMost = std::numeric_limits<qint64>::max();
    return listed > (kMost - kSizeSlack) / 2 ? kMost : listed * 2 + kSizeSlack;
}

// A LIST size as the read-ahead window counts it: anything larger than the
// whole window counts as just past it, so that no sum of sizes overflows.
qint64 windowShare(qint64 listed)
{
    return std::min(listed, Pop3Client::kMaxReadAheadBytes + 1);
}

// Message data that starts like this may be a status line read out of turn,
// or a message that happens to begin so; only a reply in its turn tells.
bool startsLikeStatusLine(const QByteArray &head)
{
    return head.startsWith("+OK") || head.startsWith("-ERR");
}

QString outOfStepText()
{
    return QStringLiteral("服务器发来了不属于所发命令的数据（应答与命令错位），会话中止");
}

// When the bytes of a multi-line reply are due at the latest: after a head
// start of one timeout, at Pop3Client::kMinimumDataRate.
class DataPace {
public:
    explicit DataPace(int timeoutSeconds) : m_headStartMs(qint64(timeoutSeconds) * 1000) { m_clock.start(); }
    QDeadlineTimer dueBy(qint64 bytes) const
    {
        return QDeadlineTimer(m_headStartMs + bytes * 1000 / Pop3Client::kMinimumDataRate - m_clock.elapsed());
    }

private:
    qint64 m_headStartMs;
    QElapsedTimer m_clock;
};

const ServerSchemes kPop3Schemes{QStringLiteral("pop3s"), QStringLiteral("pop3"), 110, 995};

bool hasLineBreakOrNul(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

// A bare IPv6 address ("::1") gets its brackets, so that its colons are not
// taken for a port.
QString bracketedHost(const QString &host)
{
    QString rest = host.trimmed();
    QString scheme;
    const qsizetype schemeEnd = rest.indexOf(QStringLiteral("://"));
    if (schemeEnd >= 0) {
        scheme = rest.left(schemeEnd + 3);
        rest = rest.mid(schemeEnd + 3);
    }
    if (rest.count(QLatin1Char(':')) > 1 && !rest.startsWith(QLatin1Char('[')))
        rest = QLatin1Char('[') + rest + QLatin1Char(']');
    return scheme + rest;
}

} // namespace

Pop3Client::Pop3Client(int timeoutSeconds) : m_conn(timeoutSeconds) {}

Pop3Client::~Pop3Client()
{
    m_conn.close();
}

void Pop3Client::setLogger(Logger logger)
{
    m_conn.setLogger(std::move(logger));
}

qint64 Pop3Client::messageSize(int number) const
{
    return m_sizes.value(number, 0);
}

bool Pop3Client::failSession(const QString &text, FailureKind kind)
{
    m_loggedIn = false;
    m_outstanding.clear();
    m_repliesDue = 0;
    return m_conn.fail(text, kind);
}

bool Pop3Client::refuse(const QString &text, FailureKind kind)
{
    setError(text, kind);
    m_conn.log(QStringLiteral("错误：%1").arg(text));
    const QString kept = m_error;
    quit();
    setError(kept, kind);
    return false;
}

void Pop3Client::setError(const QString &text, FailureKind kind)
{
    // The server's words may quote what it was sent.
    m_error = m_conn.masked(text);
    m_failureKind = kind;
}

void Pop3Client::clearError()
{
    m_error.clear();
    m_failureKind = FailureKind::None;
}

FailureKind Pop3Client::failureKind() const
{
    return m_error.isEmpty() ? m_conn.failureKind() : m_failureKind;
}

// ---- Lines and replies ------------------------------------------------------

bool Pop3Client::fillBuffer(const ReadDeadline &deadline)
{
    if (!m_conn.readMore(m_buffer, kReadChunk, deadline)) {
        m_loggedIn = false;
        m_outstanding.clear();
        m_repliesDue = 0;
        return false;
    }
    return true;
}

ReadDeadline Pop3Client::paceDeadline(const QDeadlineTimer &pace) const
{
    return {pace, QStringLiteral("服务器发送数据过慢（平均每秒不到 %1 KB），已中止接收").arg(kMinimumDataRate / 1024)};
}

bool Pop3Client::sendCommand(const QByteArray &command, const QString &shownAs)
{
    // With every reply read, nothing may be waiting: what a server sends
    // unasked would be taken for the reply to the next command, and every
    // reply after it for the wrong one.
    if (m_repliesDue == 0 && (!m_buffer.isEmpty() || m_conn.hasUnreadData()))
        return failOnUnaskedData();
    if (!m_conn.writeCommand(command, shownAs)) {
        m_loggedIn = false;
        m_outstanding.clear();
        m_repliesDue = 0;
        return false;
    }
    ++m_repliesDue;
    return true;
}

// A server that logs the user in and then cannot open the mailbox sends
// "-ERR" unasked and hangs up; its own words say more than "out of step".
bool Pop3Client::failOnUnaskedData()
{
    if (m_buffer.isEmpty())
        m_conn.readMore(m_buffer, kReadChunk);
    const qsizetype end = m_buffer.indexOf('\n');
    const QByteArray line = m_buffer.left(std::min<qsizetype>(end < 0 ? m_buffer.size() : end, 512)).trimmed();
    if (!line.startsWith("-ERR"))
        return failSession(outOfStepText());
    m_conn.log(QStringLiteral("S: %1").arg(QString::fromUtf8(line)));
    return failSession(QStringLiteral("服务器报告错误：%1").arg(QString::fromUtf8(line.mid(4).trimmed())),
                       FailureKind::Unavailable);
}

void Pop3Client::replyArrived()
{
    // The greeting answers no command.
    m_repliesDue = std::max(0, m_repliesDue - 1);
}

bool Pop3Client::readStatusLine(QByteArray &line, const QDeadlineTimer &pace)
{
    const int timeout = m_conn.timeoutSeconds();
    const QDeadlineTimer lineDue(qint64(timeout) * 1000);
    const ReadDeadline deadline =
        pace < lineDue ? paceDeadline(pace)
                       : ReadDeadline{lineDue, QStringLiteral("等待服务器应答超时（%1 秒）").arg(timeout)};
    while (true) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            return true;
        }
        if (m_buffer.size() > kMaxStatusLine)
            return failSession(QStringLiteral("服务器的应答行超过 %1 字节").arg(kMaxStatusLine));
        if (!fillBuffer(deadline))
            return false;
    }
}

bool Pop3Client::readReply(Reply &reply)
{
    QByteArray line;
    if (!readStatusLine(line))
        return false;
    replyArrived();
    m_conn.log(QStringLiteral("S: %1").arg(QString::fromUtf8(line)));
    if (line.startsWith("+OK")) {
        reply.ok = true;
        reply.text = line.mid(3).trimmed();
        return true;
    }
    if (line.startsWith("-ERR")) {
        reply.ok = false;
        reply.text = line.mid(4).trimmed();
        return true;
    }
    return failSession(QStringLiteral("服务器的应答无法识别"));
}

bool Pop3Client::readMultiLineText(const std::function<void(const QByteArray &)> &each, qsizetype maxLines)
{
    QByteArray line;
    qsizetype lines = 0;
    qint64 received = 0;
    const DataPace pace(m_conn.timeoutSeconds());
    while (readStatusLine(line, pace.dueBy(received))) {
        received += line.size() + 2;
        if (line == ".")
            return true;
        // A reply that never ends would otherwise grow without limit.
        if (++lines > maxLines)
            return failSession(QStringLiteral("服务器的应答超过 %1 行").arg(maxLines));
        if (line.startsWith('.'))
            line.remove(0, 1);
        each(line);
    }
    return false;
}

bool Pop3Client::readMultiLineData(QIODevice *out, qint64 &bytes, qint64 limit, const QString &pastLimit,
                                   bool *startsLikeReply, qint64 listed)
{
    bytes = 0;
    const auto unbatched = qScopeGuard([this] { m_conn.setReadBatch(0); });
    bool writeFailed = false;
    bool atLineStart = true;
    QByteArray head; // the first bytes, to tell a message from a status line
    const DataPace pace(m_conn.timeoutSeconds());
    qsizetype pos = 0; // read position in m_buffer; consumed bytes are dropped when it refills
    auto refill = [&]() {
        // A large message is read in batches rather than a packet at a
        // time, up to its last stretch (what is still to come is at least
        // what its listed size leaves, the dots the server added aside).
        m_conn.setReadBatch(listed - bytes > 4 * kReadBatch ? kReadBatch : 0);
        m_buffer.remove(0, pos);
        pos = 0;
        return fillBuffer(paceDeadline(pace.dueBy(bytes)));
    };
    auto put = [&](const char *data, qsizetype size) {
        if (head.size() < 4)
            head += QByteArray(data, std::min<qsizetype>(size, 4 - head.size()));
        bytes += size;
        if (out && !writeFailed && out->write(data, size) != size)
            writeFailed = true;
    };
    while (true) {
        const qsizetype available = m_buffer.size() - pos;
        if (available == 0) {
            if (!refill())
                return false;
            continue;
        }
        const char *data = m_buffer.constData() + pos;
        if (atLineStart && data[0] == '.') {
            // ".", CRLF ends the data; any other leading dot was doubled by
            // the server and is dropped. Wait until the line shows which.
            if (available < 2 || (data[1] == '\r' && available < 3)) {
                if (!refill())
                    return false;
                continue;
            }
            if (data[1] == '\n' || (data[1] == '\r' && data[2] == '\n')) {
                pos += data[1] == '\n' ? 2 : 3;
                m_buffer.remove(0, pos);
                break;
            }
            ++pos;
            atLineStart = false;
            continue;
        }
        // Everything up to the next line that starts with a dot (or to the
        // end of what is buffered) is message data, however long its lines:
        // it goes out in one write rather than one per line. Dots are rare
        // in mail and absent from base64, so this is mostly one search.
        qsizetype take = available;
        bool lineStart = data[available - 1] == '\n';
        for (const char *dot = data;
             (dot = static_cast<const char *>(memchr(dot, '.', size_t(data + available - dot)))); ++dot) {
            if (dot > data && dot[-1] == '\n') {
                take = qsizetype(dot - data);
                lineStart = true;
                break;
            }
        }
        put(data, take);
        pos += take;
        atLineStart = lineStart;
        // Stop at once rather than read on into nowhere: a full disk, or a
        // message that does not end where its size said it would.
        if (writeFailed)
            return failSession(QStringLiteral("无法写入临时文件：%1").arg(out->errorString()), FailureKind::LocalFile);
        if (bytes > limit)
            return failSession(pastLimit);
    }
    if (startsLikeReply)
        *startsLikeReply = startsLikeStatusLine(head);
    if (writeFailed) {
        setError(QStringLiteral("无法写入临时文件：%1").arg(out->errorString()), FailureKind::LocalFile);
        return false;
    }
    return true;
}

// ---- Logging on -------------------------------------------------------------

bool Pop3Client::open(const QString &user, const QString &password, const QString &host, int port)
{
    clearError();
    m_buffer.clear();
    m_outstanding.clear();
    m_capabilities.clear();
    m_saslMechanisms.clear();
    m_pipelining = false;
    m_loggedIn = false;
    m_count = 0;
    m_sizes.clear();
    m_repliesDue = 0;
    m_lastRequested = 0;
    m_lastWanted = 0;
    m_skipped.clear();

    QString addressError;
    std::optional<ServerAddress> address = parseServerAddress(bracketedHost(host), kPop3Schemes, &addressError);
    if (!address) {
        setError(addressError, FailureKind::Input);
        m_conn.log(QStringLiteral("错误：%1").arg(addressError));
        return false;
    }
    // The port given separately wins over the default the address parser
    // chose; port 995 means TLS from the first byte unless pop3:// was written.
    const bool secureScheme = host.trimmed().startsWith(kPop3Schemes.secureScheme + QStringLiteral("://"),
                                                         Qt::CaseInsensitive);
    if (port > 0 && port <= 65535) {
        address->port = quint16(port);
        address->implicitTls = secureScheme || (port == kPop3Schemes.implicitTlsPort && !address->plainTextRequested);
    } else if (port != 0) {
        setError(QStringLiteral("端口 %1 无效").arg(port), FailureKind::Input);
        m_conn.log(QStringLiteral("错误：%1").arg(m_error));
        return false;
    }
    if (user.isEmpty() || hasLineBreakOrNul(user) || hasLineBreakOrNul(password)) {
        setError(user.isEmpty() ? QStringLiteral("用户名为空") : QStringLiteral("用户名或密码中含有换行等不允许的字符"),
                 FailureKind::Input);
        m_conn.log(QStringLiteral("错误：%1").arg(m_error));
        return false;
    }
    m_host = address->host;

    if (m_progress)
        m_progress(QStringLiteral("正在连接 %1…").arg(address->host));
    if (!connectAndGreet(address->host, address->port, address->implicitTls))
        return false;
    if (!readCapabilities())
        return false;
    if (!m_conn.isEncrypted() && m_capabilities.contains("STLS") && !startTls())
        return false;
    if (!m_conn.isEncrypted() && m_conn.tlsPolicy().required)
        return refuse(QStringLiteral("服务器 %1 没有提供加密连接（STLS），而收取要求 TLS，没有登录").arg(m_host),
                      FailureKind::Tls);
    if (m_capabilities.contains("UTF8") && !enableUtf8())
        return false;
    if (m_progress)
        m_progress(QStringLiteral("正在登录 %1…").arg(address->host));
    if (!authenticate(user, password, address->plainTextRequested))
        return false;
    return readStatAndList();
}

bool Pop3Client::connectAndGreet(const QString &host, quint16 port, bool implicitTls)
{
    if (!m_conn.connectToHost(host, port, implicitTls))
        return false;
    if (!implicitTls && !m_conn.awaitGreeting(QStringLiteral("该端口可能要求 TLS 直接连接，请写成 pop3s://主机")))
        return false;
    Reply greeting;
    if (!readReply(greeting))
        return false;
    if (!greeting.ok)
        return refuse(QStringLiteral("服务器拒绝了连接：%1").arg(QString::fromUtf8(greeting.text)), FailureKind::Unavailable);
    return true;
}

bool Pop3Client::readCapabilities()
{
    m_capabilities.clear();
    m_saslMechanisms.clear();
    m_pipelining = false;
    if (!sendCommand("CAPA"))
        return false;
    Reply reply;
    if (!readReply(reply))
        return false;
    if (!reply.ok)
        return true; // an old server without CAPA: plain USER/PASS, no pipelining
    QList<QByteArray> lines;
    if (!readMultiLineText([&lines](const QByteArray &line) { lines.append(line); }, kMaxCapabilityLines))
        return false;
    for (const QByteArray &line : lines) {
        m_conn.log(QStringLiteral("S: %1").arg(QString::fromUtf8(line)));
        const QList<QByteArray> words = line.simplified().split(' ');
        const QByteArray name = words.value(0).toUpper();
        m_capabilities.append(name);
        if (name == "SASL")
            m_saslMechanisms = words.mid(1);
        else if (name == "PIPELINING")
            m_pipelining = true;
    }
    m_conn.log(QStringLiteral("S: ."));
    return true;
}

bool Pop3Client::startTls()
{
    if (!sendCommand("STLS"))
        return false;
    Reply reply;
    if (!readReply(reply))
        return false;
    if (!reply.ok)
        return true; // logging on goes on without TLS, if allowed at all
    // Whatever came with the reply was not protected; the session starts anew.
    m_buffer.clear();
    if (!m_conn.startTls())
        return false;
    return readCapabilities();
}

// UTF-8 mode (RFC 6856): without it, some servers replace every message
// with UTF-8 headers by a notice that it cannot be shown. A refusal leaves
// the session as it was.
bool Pop3Client::enableUtf8()
{
    Reply reply;
    if (!sendCommand("UTF8") || !readReply(reply))
        return false;
    if (!reply.ok)
        m_conn.log(QStringLiteral("服务器没有接受 UTF8 命令（%1），邮件按原样接收")
                           .arg(QString::fromUtf8(reply.text)));
    return true;
}

bool Pop3Client::authenticate(const QString &user, const QString &password, bool plainTextRequested)
{
    if (!m_conn.isEncrypted() && !m_conn.isLoopback() && !plainTextRequested)
        return refuse(QStringLiteral("服务器没有提供 TLS 加密（STLS），密码不以明文发送。"
                                     "如确需明文登录，请在服务器名前写上 pop3://"),
                      FailureKind::Tls);
    m_conn.addSecret(password.toUtf8());
    // On an encrypted link, a refused challenge-response mechanism is
    // followed by PLAIN or LOGIN (see SaslClient::mechanismsToTry).
    const QList<QByteArray> mechanisms = SaslClient().mechanismsToTry(m_saslMechanisms, m_conn.isEncrypted());
    if (mechanisms.isEmpty())
        return authenticateUserPass(user, password);
    QStringList tried;
    QByteArray refusal;
    const SaslClient::Attempt outcome = SaslClient::tryInTurn(
            mechanisms,
            [&](const QByteArray &mechanism) { return authenticateSasl(mechanism, user, password, refusal); },
            [this](const QString &line) { m_conn.log(line); }, tried);
    if (outcome != SaslClient::Attempt::Refused)
        return outcome == SaslClient::Attempt::Accepted;
    return refuse(QStringLiteral("登录失败：服务器拒绝了用户名或密码（%1；已尝试的登录方式：%2）")
                          .arg(QString::fromUtf8(refusal), tried.join(QStringLiteral("、"))),
                  FailureKind::Authentication);
}

SaslClient::Attempt Pop3Client::authenticateSasl(const QByteArray &mechanism, const QString &user,
                                                     const QString &password, QByteArray &refusal)
{
    SaslClient sasl;
    if (!sasl.start(mechanism, user, password, "pop", m_host)) {
        refuse(sasl.errorText(), FailureKind::Authentication);
        return SaslClient::Attempt::Failed;
    }
    if (!sendCommand("AUTH " + mechanism))
        return SaslClient::Attempt::Failed;
    // Every mechanism we use is done in a few rounds; a server that keeps
    // challenging is not going to let us in.
    constexpr int kMaxRounds = 16;
    for (int round = 0;; ++round) {
        if (round > kMaxRounds) {
            failSession(QStringLiteral("身份验证的往返次数过多"));
            return SaslClient::Attempt::Failed;
        }
        QByteArray line;
        if (!readStatusLine(line))
            return SaslClient::Attempt::Failed;
        replyArrived();
        if (line == "+" || line.startsWith("+ ")) {
            m_conn.log(QStringLiteral("S: %1").arg(QString::fromUtf8(line)));
            QByteArray response;
            if (sasl.step(line.mid(2).trimmed(), response) == SaslClient::Step::Failed) {
                // Cancel the exchange (RFC 5034), then give up.
                sendCommand("*");
                Reply cancelled;
                readReply(cancelled);
                refuse(sasl.errorText(), FailureKind::Authentication);
                return SaslClient::Attempt::Failed;
            }
            m_conn.addSecret(response);
            if (!sendCommand(response, QStringLiteral("（身份验证应答已隐藏）")))
                return SaslClient::Attempt::Failed;
            continue;
        }
        m_conn.log(QStringLiteral("S: %1").arg(QString::fromUtf8(line)));
        if (line.startsWith("+OK")) {
            m_conn.log(QStringLiteral("已登录（%1）").arg(QString::fromLatin1(mechanism)));
            return SaslClient::Attempt::Accepted;
        }
        if (line.startsWith("-ERR")) {
            refusal = line.mid(4).trimmed();
            return SaslClient::Attempt::Refused;
        }
        failSession(QStringLiteral("服务器的应答无法识别"));
        return SaslClient::Attempt::Failed;
    }
}

bool Pop3Client::authenticateUserPass(const QString &user, const QString &password)
{
    Reply reply;
    if (!sendCommand("USER " + user.toUtf8()) || !readReply(reply))
        return false;
    if (!reply.ok)
        return refuse(QStringLiteral("登录失败：服务器拒绝了用户名（%1）").arg(QString::fromUtf8(reply.text)),
                      FailureKind::Authentication);
    if (!sendCommand("PASS " + password.toUtf8(), QStringLiteral("PASS ********")) || !readReply(reply))
        return false;
    if (!reply.ok)
        return refuse(QStringLiteral("登录失败：服务器拒绝了用户名或密码（%1）").arg(QString::fromUtf8(reply.text)),
                      FailureKind::Authentication);
    m_conn.log(QStringLiteral("已登录（USER/PASS）"));
    return true;
}

bool Pop3Client::readStatAndList()
{
    // With pipelining, LIST goes out with STAT: one round trip less.
    if (!sendCommand("STAT") || (m_pipelining && !sendCommand("LIST")))
        return false;
    Reply reply;
    if (!readReply(reply))
        return false;
    bool ok = false;
    const int count = reply.ok ? reply.text.split(' ').value(0).toInt(&ok) : 0;
    if (!reply.ok || !ok || count < 0) {
        const QString reason = reply.ok ? QStringLiteral("服务器报告的邮件数无法识别")
                                        : QStringLiteral("无法读取邮箱状态：%1").arg(QString::fromUtf8(reply.text));
        const FailureKind kind = reply.ok ? FailureKind::Protocol : FailureKind::Unavailable;
        // The LIST reply still on its way comes before QUIT's. A server
        // that hangs up after refusing STAT still gave its reason.
        if (m_pipelining && readReply(reply) && reply.ok)
            skipMultiLineText();
        return refuse(reason, kind);
    }

    QHash<int, qint64> sizes;
    if (m_pipelining || count > 0) {
        if ((!m_pipelining && !sendCommand("LIST")) || !readReply(reply))
            return false;
        if (reply.ok) {
            qsizetype lines = 0;
            auto takeSize = [&](const QByteArray &line) {
                ++lines;
                const QList<QByteArray> words = line.simplified().split(' ');
                const int number = words.value(0).toInt();
                if (number >= 1 && number <= count)
                    sizes.insert(number, std::max<qint64>(0, words.value(1).toLongLong()));
            };
            if (!readMultiLineText(takeSize, kMaxListLines))
                return false;
            m_conn.log(QStringLiteral("S: （%1 封邮件的大小）").arg(lines));
        }
    }
    m_count = count;
    m_sizes = sizes;
    m_loggedIn = true;
    return true;
}

bool Pop3Client::skipMultiLineText()
{
    return readMultiLineText([](const QByteArray &) {}, kMaxListLines);
}

// ---- Retrieval --------------------------------------------------------------

bool Pop3Client::readRetrievalReply(int number, QIODevice *out, bool *startsLikeReply)
{
    Reply reply;
    if (!readReply(reply))
        return false;
    if (!reply.ok) {
        setError(QStringLiteral("服务器拒绝取出邮件 %1：%2").arg(number).arg(QString::fromUtf8(reply.text)),
                 FailureKind::Unavailable);
        return false;
    }
    // LIST sizes are exact as a rule; twice the size and more is no message
    // but a reply that does not end. Without a size, only the caller's
    // limit holds.
    const qint64 listed = messageSize(number);
    qint64 limit = m_messageSizeLimit;
    QString pastLimit = QStringLiteral("邮件超过了接收上限（%1 字节），没有收取").arg(limit);
    if (listed > 0 && retrievalBound(listed) < limit) {
        limit = retrievalBound(listed);
        pastLimit = QStringLiteral("邮件远大于服务器报告的大小（已超过 %1 字节）").arg(limit);
    }
    qint64 bytes = 0;
    const bool ok = readMultiLineData(out, bytes, limit, pastLimit, startsLikeReply, listed);
    if (!m_conn.hasFailed()) {
        if (out)
            m_conn.log(QStringLiteral("S: （邮件 %1，%2 字节）").arg(number).arg(bytes));
        else
            m_conn.log(QStringLiteral("S: （预取的邮件 %1 未用，%2 字节）").arg(number).arg(bytes));
    }
    return ok;
}

bool Pop3Client::discardOutstanding()
{
    while (!m_outstanding.empty()) {
        const int number = m_outstanding.front();
        m_outstanding.pop_front();
        if (!readRetrievalReply(number, nullptr) && m_conn.hasFailed())
            return false;
    }
    clearError();
    return true;
}

void Pop3Client::topUpReadAhead(int current)
{
    int next = current + 1;
    qint64 aheadBytes = 0;
    int ahead = 0;
    for (int number : m_outstanding) {
        if (number > current) {
            ++ahead;
            aheadBytes += windowShare(messageSize(number));
            next = std::max(next, number + 1);
        }
    }
    const int last = std::min(m_count, m_lastWanted);
    while (next <= last && ahead < kMaxReadAhead
           && aheadBytes + windowShare(messageSize(next)) <= kMaxReadAheadBytes) {
        if (m_skipped.contains(next)) {
            ++next;
            continue;
        }
        if (!sendCommand("RETR " + QByteArray::number(next)))
            return;
        m_outstanding.push_back(next);
        aheadBytes += windowShare(messageSize(next));
        ++ahead;
        ++next;
    }
}

bool Pop3Client::retrieve(int number, QIODevice &out)
{
    clearError();
    if (!isOpen()) {
        setError(m_conn.hasFailed() ? m_conn.errorText() : QStringLiteral("没有登录到邮箱"),
                 m_conn.hasFailed() ? m_conn.failureKind() : FailureKind::Other);
        return false;
    }
    if (number < 1 || number > m_count) {
        setError(QStringLiteral("邮箱中没有第 %1 封邮件（共 %2 封）").arg(number).arg(m_count), FailureKind::Input);
        return false;
    }
    // Replies come in the order the commands went out: skip those read
    // ahead for messages before this one, or all when this one was not
    // among them.
    const bool sentAhead = std::find(m_outstanding.begin(), m_outstanding.end(), number) != m_outstanding.end();
    while (!m_outstanding.empty() && (!sentAhead || m_outstanding.front() != number)) {
        const int skipped = m_outstanding.front();
        m_outstanding.pop_front();
        if (!readRetrievalReply(skipped, nullptr) && m_conn.hasFailed())
            return false;
    }
    clearError();
    int following = m_lastRequested + 1;
    while (m_skipped.contains(following))
        ++following;
    const bool ascending = number == following;
    m_lastRequested = number;
    if (!sentAhead) {
        if (!sendCommand("RETR " + QByteArray::number(number)))
            return false;
        m_outstanding.push_back(number);
    }
    if (m_pipelining && ascending)
        topUpReadAhead(number);
    if (m_conn.hasFailed() || m_outstanding.empty() || m_outstanding.front() != number)
        return false;
    m_outstanding.pop_front();
    bool startsLikeReply = false;
    if (!readRetrievalReply(number, &out, &startsLikeReply))
        return false;
    return !startsLikeReply || confirmInStep(number);
}

// Message data is never judged by what it says: one that begins with "+OK"
// or "-ERR" is as good a message as any. But so would begin the data of a
// session whose replies slipped one place, the message's own status line
// read as data. A command sent now, whose reply must name the message,
// tells the two apart.
bool Pop3Client::confirmInStep(int number)
{
    if (!discardOutstanding())
        return false;
    Reply reply;
    if (!sendCommand("LIST " + QByteArray::number(number)) || !readReply(reply))
        return false;
    if (reply.ok && reply.text.simplified().split(' ').value(0) == QByteArray::number(number))
        return true;
    return failSession(outOfStepText());
}

bool Pop3Client::readUids(QStringList &uids, bool *supported)
{
    uids.clear();
    *supported = false;
    clearError();
    if (!isOpen()) {
        m_error = m_conn.hasFailed() ? m_conn.errorText() : QStringLiteral("没有登录到邮箱");
        return false;
    }
    if (!discardOutstanding() || !sendCommand("UIDL"))
        return false;
    Reply reply;
    if (!readReply(reply))
        return false;
    if (!reply.ok)
        return true;
    QStringList byNumber(m_count);
    auto takeUid = [&](const QByteArray &line) {
        const QList<QByteArray> words = line.simplified().split(' ');
        const int number = words.value(0).toInt();
        if (number >= 1 && number <= m_count)
            byNumber[number - 1] = QString::fromLatin1(words.value(1));
    };
    if (!readMultiLineText(takeUid, kMaxListLines))
        return false;
    m_conn.log(QStringLiteral("S: （%1 封邮件的唯一标识）").arg(m_count));
    // A list with holes cannot tell messages apart: as good as none.
    *supported = std::none_of(byNumber.cbegin(), byNumber.cend(), [](const QString &uid) { return uid.isEmpty(); });
    if (*supported)
        uids = byNumber;
    return true;
}

// ---- Deleting and leaving ---------------------------------------------------

bool Pop3Client::markDeleted(const QList<int> &numbers, QList<int> *accepted)
{
    clearError();
    if (!isOpen()) {
        setError(m_conn.hasFailed() ? m_conn.errorText() : QStringLiteral("没有登录到邮箱"),
                 m_conn.hasFailed() ? m_conn.failureKind() : FailureKind::Other);
        return false;
    }
    if (!discardOutstanding())
        return false;
    QStringList refused;
    auto readDeleReply = [&](int number) {
        Reply reply;
        if (!readReply(reply))
            return false;
        if (!reply.ok)
            refused.append(QStringLiteral("%1（%2）").arg(number).arg(QString::fromUtf8(reply.text)));
        else if (accepted)
            accepted->append(number);
        return true;
    };
    // Pipelined in batches, so that neither side piles up replies unread.
    const qsizetype batch = m_pipelining ? 64 : 1;
    for (qsizetype start = 0; start < numbers.size(); start += batch) {
        const QList<int> part = numbers.mid(start, batch);
        for (int number : part) {
            if (!sendCommand("DELE " + QByteArray::number(number)))
                return false;
        }
        for (int number : part) {
            if (!readDeleReply(number))
                return false;
        }
    }
    if (!refused.isEmpty()) {
        setError(QStringLiteral("服务器没有删除邮件 %1").arg(refused.join(QStringLiteral("、"))), FailureKind::Unavailable);
        m_conn.log(QStringLiteral("错误：%1").arg(m_error));
        return false;
    }
    return true;
}

bool Pop3Client::resetDeletions()
{
    if (!isOpen())
        return false;
    Reply reply;
    if (!sendCommand("RSET") || !readReply(reply))
        return false;
    if (!reply.ok) {
        setError(QStringLiteral("服务器拒绝撤销删除（RSET）：%1").arg(QString::fromUtf8(reply.text)),
                 FailureKind::Unavailable);
        m_conn.log(QStringLiteral("错误：%1").arg(m_error));
    }
    return reply.ok;
}

bool Pop3Client::quit()
{
    m_loggedIn = false;
    if (!m_conn.isConnected() || m_conn.hasFailed()) {
        m_conn.close();
        return false;
    }
    // Read-ahead replies still on their way come before QUIT's.
    if (!discardOutstanding())
        return false;
    Reply reply;
    const bool confirmed = sendCommand("QUIT") && readReply(reply) && reply.ok;
    if (!confirmed && !m_conn.hasFailed() && m_error.isEmpty())
        setError(QStringLiteral("服务器没有确认 QUIT：%1").arg(QString::fromUtf8(reply.text)), FailureKind::Unavailable);
    m_conn.close();
    return confirmed;
}

void Pop3Client::abort()
{
    m_loggedIn = false;
    m_outstanding.clear();
    m_repliesDue = 0;
    m_conn.close();
}

} // namespace component
