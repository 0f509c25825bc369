// SPDX-License-Identifier: MIT
#include "platform/files.h"

#include "component/native_path.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using component::nativePath;

namespace {

bool statOf(const QString &path, struct stat &status)
{
    return ::stat(nativePath(path).constData(), &status) == 0;
}

bool copyAll(QFile &input, QFile &output)
{
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = input.read(buffer, sizeof buffer);
        if (n <= 0)
            return n == 0;
        if (output.write(buffer, n) != n)
            return false;
    }
}

// The permissions of any new file of the user's: read and write for all,
// less the umask.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

QStringList nativeArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << component::pathFromNative(QByteArray(argv[i]));
    return arguments;
}

QString currentDirectory()
{
    // getcwd() rather than QDir::currentPath(), which would lose every byte
    // that is not UTF-8.
    for (std::size_t size = 4096;; size *= 2) {
        QByteArray buffer(qsizetype(size), Qt::Uninitialized);
        if (::getcwd(buffer.data(), size))
            return component::pathFromNative(QByteArray(buffer.constData()));
        if (errno != ERANGE || size > 1024 * 1024)
            return QDir::currentPath();
    }
}

bool setCurrentDirectory(const QString &path)
{
    return ::chdir(nativePath(path).constData()) == 0;
}

QString absolutePath(const QString &path)
{
    return QDir::cleanPath(path.startsWith(QLatin1Char('/')) ? path : currentDirectory() + QLatin1Char('/') + path);
}

bool fileExists(const QString &path)
{
    struct stat status {};
    return statOf(path, status) && S_ISREG(status.st_mode);
}

bool isReadableFile(const QString &path)
{
    return fileExists(path) && ::access(nativePath(path).constData(), R_OK) == 0;
}

bool isFolder(const QString &path)
{
    struct stat status {};
    return statOf(path, status) && S_ISDIR(status.st_mode);
}

bool openForReading(QFile &file, const QString &path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    if (fd >= 0)
        ::close(fd);
    return false;
}

std::optional<QString> createUniqueFile(const QString &pathTemplate, QString *error)
{
    QByteArray path = nativePath(pathTemplate);
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    ::close(fd);
    return component::pathFromNative(path);
}

bool fileCopy(const QString &source, const QString &target)
{
    struct stat from {};
    struct stat to {};
    if (!statOf(source, from) || !S_ISREG(from.st_mode))
        return false;
    if (statOf(target, to) && from.st_dev == to.st_dev && from.st_ino == to.st_ino)
        return true;
    // Written beside the target and renamed over it, so that a failed copy
    // never leaves the target half written or removed.
    QFile input;
    if (!openForReading(input, source))
        return false;
    QByteArray scratch = nativePath(target.left(target.lastIndexOf(QLatin1Char('/')) + 1) + ".orvex-copy-XXXXXX");
    const int fd = ::mkostemp(scratch.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    QFile output;
    output.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    const bool copied = copyAll(input, output) && output.flush() && ::fchmod(fd, newFileMode()) == 0
                        && ::fdatasync(fd) == 0;
    output.close();
    if (!copied || ::rename(scratch.constData(), nativePath(target).constData()) != 0) {
        ::unlink(scratch.constData());
        return false;
    }
    return true;
}

bool fileDelete(const QString &path)
{
    return ::unlink(nativePath(path).constData()) == 0;
}

namespace {

// A descriptor for reading the regular file at `path`, or -1: a link is not
// followed, and a FIFO or device is not opened for good.
int openRegularFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads up to `size` bytes, fewer only at the end of the file.
qint64 readFully(int fd, char *buffer, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, std::size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? -1 : done;
        done += n;
    }
    return done;
}

// True when two different files hold the same bytes; a file and a second
// name for it are one file, not two.
bool sameBytes(int first, int second)
{
    struct stat one {};
    struct stat other {};
    if (::fstat(first, &one) != 0 || ::fstat(second, &other) != 0 || one.st_size != other.st_size
        || (one.st_dev == other.st_dev && one.st_ino == other.st_ino))
        return false;
    constexpr qint64 kChunk = 64 * 1024;
    QByteArray a(kChunk, Qt::Uninitialized);
    QByteArray b(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = readFully(first, a.data(), kChunk);
        if (n < 0 || readFully(second, b.data(), kChunk) != n
            || std::memcmp(a.constData(), b.constData(), std::size_t(n)) != 0)
            return false;
        if (n < kChunk)
            return true;
    }
}

// True when `target` holds exactly the bytes of `source`; it is then also
// flushed to disk, since it stands for what `source` held from now on.
bool holdSameBytes(const QByteArray &source, const QByteArray &target)
{
    const int first = openRegularFile(source);
    const int second = first >= 0 ? openRegularFile(target) : -1;
    const bool same = second >= 0 && sameBytes(first, second) && ::fsync(second) == 0;
    if (first >= 0)
        ::close(first);
    if (second >= 0)
        ::close(second);
    return same;
}

// rename() that never replaces an existing name: 0, or the errno.
int renameWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // A file system that cannot rename that way: a second name made with
    // link() cannot replace anything either; then the first name goes.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    // Neither (some network and FUSE file systems): look, then rename. Only
    // a file made in the instant between the two could be replaced.
    struct stat status {};
    if (::lstat(to.constData(), &status) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

Placement placeFile(const QString &source, const QString &target, QString *error)
{
    const QByteArray from = nativePath(source);
    const QByteArray to = nativePath(target);
    // A name taken by someone else between the look and the move is looked
    // at once more, as it now stands.
    for (int attempt = 0; attempt < 2; ++attempt) {
        struct stat status {};
        if (::lstat(to.constData(), &status) == 0) {
            if (!S_ISREG(status.st_mode) || !holdSameBytes(from, to))
                return Placement::Occupied;
            ::unlink(from.constData());
            return Placement::SameContent;
        }
        if (errno != ENOENT) {
            *error = QStringLiteral("无法查看 %1：%2").arg(target, systemError(errno));
            return Placement::Failed;
        }
        const int code = renameWithoutReplacing(from, to);
        if (code == 0)
            return Placement::Moved;
        if (code != EEXIST) {
            *error = QStringLiteral("无法保存为 %1：%2").arg(target, systemError(code));
            return Placement::Failed;
        }
    }
    return Placement::Occupied;
}

} // namespace platform
