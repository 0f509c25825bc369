// SPDX-License-Identifier: MIT
#include "component/durable_files.h"

#include "component/native_path.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace component {

namespace {

// Well below the usual limit of 1024 open files per process.
constexpr std::size_t kMaxHeldOpen = 256;

struct NotedFile {
    QString path;
    QString folder;
    int fd = -1; // -1 when it could not be opened: flushed by name then
};

std::vector<NotedFile> &notedFiles()
{
    static std::vector<NotedFile> files;
    return files;
}

// Mailboxes may fetch in several threads at once (the session bus service
// runs each object in its own); one list serves them all, since flushing
// another mailbox's files as well loses nothing.
std::recursive_mutex &notedFilesLock()
{
    static std::recursive_mutex lock;
    return lock;
}

QString flushError(const QString &path, int code)
{
    return QStringLiteral("无法把 %1 写入磁盘：%2").arg(path, QString::fromLocal8Bit(std::strerror(code)));
}

bool syncPath(const QString &path, int flags, QString *error)
{
    const int fd = ::open(nativePath(path).constData(), flags | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int code = errno;
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = flushError(path, code);
        return false;
    }
    ::close(fd);
    return true;
}

bool syncFile(const NotedFile &file, QString *error)
{
    if (file.fd < 0) {
        // A file removed or replaced since it was saved is no longer ours
        // to keep; only what is still there must reach the disk.
        return !pathExists(file.path) || syncPath(file.path, O_RDONLY, error);
    }
    if (::fsync(file.fd) == 0)
        return true;
    if (error)
        *error = flushError(file.path, errno);
    return false;
}

} // namespace

void noteUnsyncedFile(const QString &path)
{
    NotedFile file;
    file.path = path;
    file.folder = QFileInfo(path).absolutePath();
    file.fd = ::open(nativePath(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const std::lock_guard guard(notedFilesLock());
    notedFiles().push_back(file);
    if (notedFiles().size() >= kMaxHeldOpen)
        syncNotedFiles(nullptr);
}

bool syncNotedFiles(QString *error)
{
    const std::lock_guard guard(notedFilesLock());
    std::vector<NotedFile> &files = notedFiles();
    QSet<QString> folders;
    for (const NotedFile &file : files) {
        if (!syncFile(file, error))
            return false;
        folders.insert(file.folder);
    }
    for (const QString &folder : std::as_const(folders)) {
        // A folder removed since holds nothing to keep either.
        if (pathExists(folder) && !syncPath(folder, O_RDONLY | O_DIRECTORY, error))
            return false;
    }
    for (const NotedFile &file : files) {
        if (file.fd >= 0)
            ::close(file.fd);
    }
    files.clear();
    return true;
}

int writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= n;
    }
    return 0;
}

} // namespace component
