// SPDX-License-Identifier: MIT
// The raw copy of a fetched message: the bytes the server sent, written to
// a file of the caller's folder and flushed to disk before the caller may
// let the server delete the message.
#include "component/message.h"

#include "component/automation_error.h"
#include "component/durable_files.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace component {

namespace {

constexpr qint64 kCopyChunk = 1024 * 1024;

// "<seconds>.M<microseconds>P<pid>Q<n>.<host>": unique on this machine
// among every process that names files this way, and a valid Maildir name.
QString uniqueFileName()
{
    static QAtomicInteger<quint64> counter;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QString host = QSysInfo::machineHostName();
    host.replace(QLatin1Char('/'), QStringLiteral("\\057")).replace(QLatin1Char(':'), QStringLiteral("\\072"));
    return QStringLiteral("%1.M%2P%3Q%4.%5")
        .arg(now / 1000)
        .arg((now % 1000) * 1000)
        .arg(::getpid())
        .arg(counter.fetchAndAddRelaxed(1) + 1)
        .arg(host.isEmpty() ? QStringLiteral("localhost") : host);
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

void Message::setRawFile(std::unique_ptr<QTemporaryFile> file)
{
    m_rawFile = std::move(file);
}

QString Message::saveraw(const QString &folder)
{
    auto failure = [this](const QString &reason) {
        raiseAutomationError(this, reason);
        return QString();
    };
    if (!m_rawFile && !m_rawKept)
        return failure(QStringLiteral("邮件没有保留原文（需先打开邮箱的 keepraw）"));
    const QString path = QDir(folder).filePath(uniqueFileName());
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return failure(QStringLiteral("无法建立文件 %1：%2").arg(path, errnoText()));
    bool written = true;
    if (m_rawFile) {
        written = m_rawFile->seek(0);
        while (written && !m_rawFile->atEnd()) {
            const QByteArray chunk = m_rawFile->read(kCopyChunk);
            written = !chunk.isEmpty() && writeAll(fd, chunk.constData(), chunk.size()) == 0;
        }
    } else {
        written = writeAll(fd, m_raw.constData(), m_raw.size()) == 0;
    }
    written = written && ::fsync(fd) == 0;
    const QString reason = errnoText();
    ::close(fd);
    if (!written) {
        QFile::remove(path);
        return failure(QStringLiteral("无法写入文件 %1：%2").arg(path, reason));
    }
    return path;
}

} // namespace component
