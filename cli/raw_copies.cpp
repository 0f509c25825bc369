// SPDX-License-Identifier: MIT
#include "cli/raw_copies.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 kWriteChunk = 64 * 1024;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool syncPath(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool writeAll(int fd, const QByteArray &data)
{
    const char *at = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

// The "From " line that opens a message in an mbox: the envelope sender
// (one word) and the time of delivery in asctime() form, in UTC.
QByteArray mboxFromLine(const QString &sender)
{
    const bool usable = !sender.isEmpty() && !sender.contains(QLatin1Char(' ')) && !sender.contains(QLatin1Char('\t'));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString date = QLocale::c().toString(now, QStringLiteral("ddd MMM ")) + QStringLiteral("%1").arg(now.date().day(), 2)
                         + QLocale::c().toString(now, QStringLiteral(" HH:mm:ss yyyy"));
    return "From " + (usable ? sender.toUtf8() : QByteArray("MAILER-DAEMON")) + ' ' + date.toLatin1() + '\n';
}

// One line of the message in mboxrd form: LF line end, and one more ">" in
// front of any line that is "From " behind zero or more ">", so that a
// reader can undo it exactly.
QByteArray mboxLine(QByteArray line)
{
    if (line.endsWith("\r\n"))
        line.replace(line.size() - 2, 2, "\n");
    qsizetype quotes = 0;
    while (quotes < line.size() && line.at(quotes) == '>')
        ++quotes;
    if (line.mid(quotes).startsWith("From "))
        line.prepend('>');
    return line;
}

} // namespace

std::unique_ptr<RawCopies> RawCopies::forMaildir(const QString &folder)
{
    std::unique_ptr<RawCopies> copies(new RawCopies);
    copies->m_maildir = folder;
    return copies;
}

std::unique_ptr<RawCopies> RawCopies::forMbox(const QString &path)
{
    std::unique_ptr<RawCopies> copies(new RawCopies);
    copies->m_mbox = path;
    // Next to the mbox, so that what waits there is as private as the mbox.
    copies->m_scratch = std::make_unique<QTemporaryDir>(QFileInfo(path).absolutePath() + QStringLiteral("/.orvex-XXXXXX"));
    if (!copies->m_scratch->isValid())
        copies->m_error = QStringLiteral("无法在 %1 旁建立临时文件夹：%2").arg(path, copies->m_scratch->errorString());
    return copies;
}

RawCopies::~RawCopies()
{
    if (m_mboxFd >= 0)
        ::close(m_mboxFd);  // also releases the lock
}

QString RawCopies::scratchFolder() const
{
    if (!m_maildir.isEmpty())
        return QDir(m_maildir).filePath(QStringLiteral("tmp"));
    return m_scratch && m_scratch->isValid() ? m_scratch->path() : QString();
}

void RawCopies::keep(const stru_mail &record)
{
    if (record.rawfile.isEmpty())
        return;
    if (m_error.isEmpty()) {
        if (!m_maildir.isEmpty())
            deliverToMaildir(record.rawfile);
        else
            appendToMbox(record.rawfile, record.senderaddress);
        m_delivered = true;
    }
    // Delivered, the scratch name is not needed any more; not delivered,
    // the copy is of no use, since its message stays on the server.
    QFile::remove(record.rawfile);
}

bool RawCopies::deliverToMaildir(const QString &file)
{
    const QString target = QDir(m_maildir).filePath(QStringLiteral("new/") + QFileInfo(file).fileName());
    // link() never replaces a file that is there already.
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(target).constData()) != 0) {
        m_error = QStringLiteral("无法把邮件放入 %1：%2").arg(target, errnoText());
        return false;
    }
    return true;
}

bool RawCopies::appendToMbox(const QString &file, const QString &sender)
{
    if (m_mboxFd < 0) {
        m_mboxFd = ::open(QFile::encodeName(m_mbox).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (m_mboxFd < 0 || ::fcntl(m_mboxFd, F_SETLKW, &lock) != 0) {
            m_error = QStringLiteral("无法打开并锁定 %1：%2").arg(m_mbox, errnoText());
            return false;
        }
    }
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("无法读取邮件原文 %1：%2").arg(file, raw.errorString());
        return false;
    }
    // A message written in part is cut off again, so that the mbox never
    // holds half a message that the next one would seem to continue.
    const off_t before = ::lseek(m_mboxFd, 0, SEEK_END);
    QByteArray pending = mboxFromLine(sender);
    bool written = true;
    bool endsWithLineBreak = true;
    while (written && !raw.atEnd()) {
        const QByteArray line = mboxLine(raw.readLine());
        endsWithLineBreak = line.endsWith('\n');
        pending += line;
        if (pending.size() >= kWriteChunk) {
            written = writeAll(m_mboxFd, pending);
            pending.clear();
        }
    }
    pending += endsWithLineBreak ? "\n" : "\n\n";
    written = written && raw.error() == QFile::NoError && writeAll(m_mboxFd, pending);
    if (!written) {
        m_error = QStringLiteral("无法写入 %1：%2").arg(m_mbox, errnoText());
        if (before >= 0 && ::ftruncate(m_mboxFd, before) != 0)
            m_error += QStringLiteral("（且无法截去写了一半的邮件）");
        return false;
    }
    return true;
}

bool RawCopies::makeDurable(QString &reason)
{
    if (!m_error.isEmpty()) {
        reason = m_error;
        return false;
    }
    if (!m_delivered)
        return true;
    bool synced = true;
    if (!m_maildir.isEmpty()) {
        synced = syncPath(QDir(m_maildir).filePath(QStringLiteral("new")), O_RDONLY | O_DIRECTORY)
                 && syncPath(QDir(m_maildir).filePath(QStringLiteral("tmp")), O_RDONLY | O_DIRECTORY);
    } else {
        synced = ::fsync(m_mboxFd) == 0 && syncPath(QFileInfo(m_mbox).absolutePath(), O_RDONLY | O_DIRECTORY);
    }
    if (!synced) {
        m_error = QStringLiteral("无法把邮件副本写入磁盘：%1").arg(errnoText());
        reason = m_error;
    }
    return synced;
}
