#include "component/durable_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace component {

namespace {

QSet<QString> &notedFiles()
{
    static QSet<QString> files;
    return files;
}

bool syncPath(const QString &path, int flags, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int code = errno;
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = QStringLiteral("无法把 %1 写入磁盘：%2").arg(path, QString::fromLocal8Bit(std::strerror(code)));
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

void noteUnsyncedFile(const QString &path)
{
    notedFiles().insert(path);
}

bool syncNotedFiles(QString *error)
{
    QSet<QString> folders;
    for (const QString &path : std::as_const(notedFiles())) {
        // A file removed or replaced since it was saved is no longer ours to
        // keep; only what is still there must reach the disk.
        if (!QFileInfo::exists(path))
            continue;
        if (!syncPath(path, O_RDONLY, error))
            return false;
        folders.insert(QFileInfo(path).absolutePath());
    }
    for (const QString &folder : std::as_const(folders)) {
        if (!syncPath(folder, O_RDONLY | O_DIRECTORY, error))
            return false;
    }
    notedFiles().clear();
    return true;
}

} // namespace component
