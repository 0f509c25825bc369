// SPDX-License-Identifier: MIT
#include "component/pop3.h"

#include "component/automation_error.h"
#include "component/durable_files.h"
#include "component/message.h"
#include "component/message_skeleton.h"
#include "component/mime_reader.h"
#include "component/pop3_client.h"
#include "component/pop3_messages.h"
#include "component/progress_device.h"
#include "component/temporary_files.h"
#include "component/tls_policy.h"
#include "component/warm_up.h"

#include <QBuffer>
#include <QDir>
#include <QStorageInfo>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <memory>
#include <optional>

namespace component {

namespace {

constexpr qint64 kLargeMessageBytes = 1024 * 1024;
// Messages listed at up to this size are retrieved into memory.
constexpr qint64 kInMemoryMessageBytes = 2 * 1024 * 1024;
// Left free in the temporary folder, whatever a message brings.
constexpr qint64 kTemporaryFolderMargin = 64 * 1024 * 1024;

// "1–3、7": message numbers in ascending order, runs joined.
QString numbersText(QList<int> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    QStringList runs;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype end = i;
        while (end + 1 < numbers.size() && numbers[end + 1] == numbers[end] + 1)
            ++end;
        runs.append(end == i ? QString::number(numbers[i])
                             : QStringLiteral("%1–%2").arg(numbers[i]).arg(numbers[end]));
        i = end + 1;
    }
    return runs.join(QStringLiteral("、"));
}

// The log line for deletions that did not happen: why, and which messages
// ("1–3、7") stay on the server.
QString notDeletedLine(const QString &reason, const QString &numbers)
{
    return QStringLiteral("错误：%1，第 %2 封邮件没有删除，仍在服务器上").arg(reason, numbers);
}

} // namespace

Pop3::Pop3(QObject *parent) : QObject(parent), m_messages(new Pop3Messages(this))
{
    // A mailbox object is made to connect and log on: what that needs
    // loads meanwhile.
    warmUpForMailSession();
}

// Released without "disconnect": the line is closed without QUIT, so the
// server keeps every message.
Pop3::~Pop3()
{
    if (m_client)
        m_client->abort();
}

void Pop3::setTimeout(int seconds)
{
    m_timeout = seconds;
    if (m_client)
        m_client->setTimeout(seconds);
}

void Pop3::setMaxMessageSize(qint64 bytes)
{
    m_maxMessageSize = bytes > 0 ? bytes : kDefaultMaxMessageSize;
}

void Pop3::setLastMessage(int number)
{
    m_lastMessage = std::max(0, number);
    if (m_client)
        m_client->setLastWanted(m_lastMessage);
}

qint64 Pop3::retrievalLimit(bool inMemory, QString *error) const
{
    if (inMemory)
        return m_maxMessageSize;
    const QStorageInfo storage(QDir::tempPath());
    if (!storage.isValid() || storage.bytesAvailable() < 0)
        return m_maxMessageSize;
    const qint64 room = (storage.bytesAvailable() - kTemporaryFolderMargin) / 2;
    if (room <= 0) {
        *error = QStringLiteral("临时文件夹 %1 的空间不足").arg(QDir::toNativeSeparators(QDir::tempPath()));
        return 0;
    }
    return std::min(m_maxMessageSize, room);
}

void Pop3::appendLog(const QString &line)
{
    // Errors are kept even with logging off, so that a failure is never
    // without its reason.
    if (!m_logging && !line.startsWith(QStringLiteral("错误")))
        return;
    m_log += line;
    m_log += QLatin1Char('\n');
}

void Pop3::noteFailure(const QString &reason, FailureKind kind)
{
    if (m_failureKind != FailureKind::None)
        return;
    m_lastError = reason;
    m_failureKind = kind;
}

bool Pop3::connect(const QString &user, const QString &password, const QString &host, int port)
{
    if (m_client)
        disconnect();
    m_log.clear();
    m_lastError.clear();
    m_failureKind = FailureKind::None;
    m_messages->reset();
    m_retrieved.clear();
    m_deleted.clear();
    // A range belongs to the mailbox it was counted in.
    m_lastMessage = 0;
    m_skipped.clear();
    QString policyError;
    const std::optional<TlsPolicy> policy = tlsPolicyFrom(m_tls, m_tlsFingerprint, m_caFile, &policyError);
    if (!policy) {
        appendLog(QStringLiteral("错误：%1").arg(policyError));
        noteFailure(policyError, FailureKind::Input);
        return false;
    }
    m_client = std::make_unique<Pop3Client>(m_timeout);
    m_client->setPassUserInput(m_passUserInput);
    m_client->setTlsPolicy(*policy);
    m_client->setLogger([this](const QString &line) { appendLog(line); });
    m_client->setProgressHandler([this](const QString &text) { Q_EMIT progress(text); });
    m_loggedOn = m_client->open(user, password, host, port);
    if (m_loggedOn)
        appendLog(QStringLiteral("邮箱中有 %1 封邮件").arg(m_client->messageCount()));
    else
        noteFailure(m_client->errorText(), m_client->failureKind());
    return m_loggedOn;
}

int Pop3::count() const
{
    return m_loggedOn && m_client ? m_client->messageCount() : 0;
}

QObject *Pop3::messages() const
{
    return m_messages;
}

Message *Pop3::fetch(int number, QObject *parent, QString *error)
{
    if (!m_loggedOn || !m_client) {
        *error = QStringLiteral("没有登录到邮箱，无法取出第 %1 封邮件").arg(number);
        noteFailure(*error, FailureKind::Other);
        return nullptr;
    }
    // A small message is read in memory; anything else passes through a
    // temporary file, never whole in memory. The listed size only picks the
    // way: a message that grows past it on the line still arrives whole.
    const qint64 listedSize = m_client->messageSize(number);
    const bool inMemory = listedSize > 0 && listedSize <= kInMemoryMessageBytes;
    QBuffer buffer;
    auto messageFile = std::make_unique<QTemporaryFile>(temporaryFileTemplate(QStringLiteral("message")));
    QTemporaryFile &file = *messageFile;
    QIODevice &storage = inMemory ? static_cast<QIODevice &>(buffer) : file;
    if (!storage.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("无法建立临时文件：%1").arg(storage.errorString());
        noteFailure(*error, FailureKind::LocalFile);
        return nullptr;
    }
    QString limitError;
    const qint64 limit = retrievalLimit(inMemory, &limitError);
    if (limit <= 0) {
        *error = QStringLiteral("取出第 %1 封邮件失败：%2").arg(number).arg(limitError);
        noteFailure(*error, FailureKind::LocalFile);
        appendLog(QStringLiteral("错误：%1").arg(*error));
        return nullptr;
    }
    m_client->setMessageSizeLimit(limit);
    reportRetrieval(number, 0);
    // A message in a file is also read as it arrives, so that its large
    // attachments are decoded by the time its last line is in; except when
    // the message must be kept as it came, since the skeleton leaves those
    // attachments out of the file.
    std::optional<MessageSkeleton> skeleton;
    if (!inMemory && !m_keepRaw)
        skeleton.emplace(file);
    ProgressDevice counted(skeleton ? static_cast<QIODevice &>(*skeleton) : storage,
                           [this, number](qint64 bytes) { reportRetrieval(number, bytes); });
    if (!m_client->retrieve(number, counted) || (skeleton && !skeleton->finish())) {
        // A retrieval that went through fails here only on writing its files.
        const QString reason = m_client->errorText().isEmpty() && skeleton
                                   ? QStringLiteral("无法写入临时文件：%1").arg(skeleton->errorString())
                                   : m_client->errorText();
        *error = QStringLiteral("取出第 %1 封邮件失败：%2").arg(number).arg(reason);
        noteFailure(*error, m_client->errorText().isEmpty() ? FailureKind::LocalFile : m_client->failureKind());
        appendLog(QStringLiteral("错误：%1").arg(*error));
        if (!m_client->isOpen())
            m_loggedOn = false;
        return nullptr;
    }
    auto *message = new Message(parent);
    QString readError;
    bool read = false;
    if (inMemory)
        read = readMimeMessage(buffer.data(), *message, &readError);
    else if (skeleton)
        read = readMimeMessage(*skeleton, *message, &readError);
    else
        read = file.flush() && readMimeMessage(file.fileName(), *message, &readError);
    if (!read) {
        delete message;
        *error = QStringLiteral("第 %1 封邮件无法读取：%2").arg(number).arg(readError);
        noteFailure(*error, FailureKind::Refused);
        appendLog(QStringLiteral("错误：%1").arg(*error));
        return nullptr;
    }
    if (m_keepRaw && inMemory)
        message->setRawContent(buffer.data());
    else if (m_keepRaw)
        message->setRawFile(std::move(messageFile));
    m_retrieved.insert(number);
    return message;
}

void Pop3::reportRetrieval(int number, qint64 bytesSoFar)
{
    if (!m_progressThrottle.due())
        return;
    QString text = QStringLiteral("正在接收第 %1 / %2 封邮件").arg(number).arg(count());
    // A large message gets its own count, so that a long wait shows movement.
    const qint64 size = m_client->messageSize(number);
    constexpr qint64 kSteps = 1000;
    const qint64 partDone = size > 0 ? std::clamp(bytesSoFar * kSteps / size, qint64(0), kSteps) : 0;
    Q_EMIT progressamount((number - 1) * kSteps + partDone, qint64(count()) * kSteps);
    if (size >= kLargeMessageBytes)
        text += QStringLiteral("（%1 / %2 MB）").arg(megabytesText(bytesSoFar), megabytesText(std::max(size, bytesSoFar)));
    Q_EMIT progress(text);
}

bool Pop3::deletemessages()
{
    QList<int> numbers;
    for (int number : std::as_const(m_retrieved)) {
        if (!m_deleted.contains(number))
            numbers.append(number);
    }
    std::sort(numbers.begin(), numbers.end());
    if (numbers.isEmpty()) {
        appendLog(QStringLiteral("没有取出的邮件需要删除"));
        return true;
    }
    // Deletions of this session all take effect at QUIT, or none does.
    const QString kept = numbersText(numbers + m_deleted.values());
    if (!m_loggedOn || !m_client || !m_client->isOpen()) {
        appendLog(notDeletedLine(QStringLiteral("连接已断开"), kept));
        noteFailure(QStringLiteral("连接已断开，第 %1 封邮件没有删除").arg(kept), FailureKind::Connection);
        return false;
    }
    // What was saved from these messages must be on disk before they leave
    // the server.
    QString syncError;
    if (!syncNotedFiles(&syncError)) {
        appendLog(notDeletedLine(syncError, numbersText(numbers)));
        noteFailure(syncError, FailureKind::LocalFile);
        return false;
    }
    QList<int> accepted;
    if (m_client->markDeleted(numbers, &accepted)) {
        for (int number : std::as_const(accepted))
            m_deleted.insert(number);
        return true;
    }
    noteFailure(m_client->errorText(), m_client->failureKind());
    undoDeletions(kept);
    return false;
}

// After a deletion that the server refused or that broke off: either all
// the messages this session marked go, or none, so none does.
void Pop3::undoDeletions(const QString &kept)
{
    m_deleted.clear();
    if (!m_client->isOpen()) {
        // Without QUIT the server commits nothing.
        m_loggedOn = false;
        appendLog(notDeletedLine(QStringLiteral("连接中断"), kept));
    } else if (m_client->resetDeletions()) {
        appendLog(QStringLiteral("错误：已撤销本次的全部删除（RSET），第 %1 封邮件都仍在服务器上").arg(kept));
    } else {
        // The deletions the server did take must not be committed: the line
        // is closed without QUIT.
        m_client->abort();
        m_loggedOn = false;
        appendLog(QStringLiteral("错误：无法撤销删除，连接已断开而没有退出（QUIT），第 %1 封邮件都仍在服务器上").arg(kept));
    }
}

bool Pop3::disconnect()
{
    if (!m_client)
        return true;
    const bool wasOpen = m_client->isOpen();
    const bool confirmed = m_client->quit();
    if (!confirmed && (wasOpen || !m_deleted.isEmpty()))
        noteFailure(m_client->errorText().isEmpty() ? QStringLiteral("服务器没有确认退出（QUIT）") : m_client->errorText(),
                    m_client->errorText().isEmpty() ? FailureKind::Connection : m_client->failureKind());
    m_loggedOn = false;
    const QList<int> pending = m_deleted.values();
    m_deleted.clear();
    if (confirmed && !pending.isEmpty())
        appendLog(QStringLiteral("已在服务器上删除 %1 封邮件").arg(pending.size()));
    else if (!confirmed && wasOpen && !pending.isEmpty())
        appendLog(QStringLiteral("错误：服务器没有确认退出（QUIT），第 %1 封邮件可能仍在服务器上").arg(numbersText(pending)));
    else if (!confirmed && wasOpen)
        appendLog(QStringLiteral("错误：服务器没有确认退出（QUIT）"));
    else if (!confirmed && !pending.isEmpty())
        appendLog(notDeletedLine(QStringLiteral("连接已断开"), numbersText(pending)));
    // A session that had broken off before, with nothing to commit, lost
    // nothing by ending without QUIT.
    return confirmed || (!wasOpen && pending.isEmpty());
}

QStringList Pop3::uids()
{
    QStringList uids;
    bool supported = false;
    if (!m_loggedOn || !m_client)
        return uids;
    if (!m_client->readUids(uids, &supported)) {
        appendLog(QStringLiteral("错误：无法读取邮件的唯一标识（UIDL）：%1").arg(m_client->errorText()));
        noteFailure(m_client->errorText(), m_client->failureKind());
        if (!m_client->isOpen())
            m_loggedOn = false;
        raiseAutomationError(this, m_client->errorText());
    } else if (!supported) {
        appendLog(QStringLiteral("服务器不提供邮件的唯一标识（UIDL）"));
    }
    return uids;
}

void Pop3::skipmessage(int number)
{
    m_skipped.insert(number);
    if (m_client)
        m_client->setSkipped(m_skipped);
}

void Pop3::abandon()
{
    LineConnection::abandonAll();
}

} // namespace component
