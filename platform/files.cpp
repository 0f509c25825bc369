#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

QString currentDirectory()
{
    return QDir::currentPath();
}

bool setCurrentDirectory(const QString &path)
{
    return QDir::setCurrent(path);
}

bool fileExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool fileCopy(const QString &source, const QString &target)
{
    const QFileInfo from(source);
    const QFileInfo to(target);
    if (!from.isFile())
        return false;
    if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath())
        return true;
    // Written beside the target and renamed over it, so that a failed copy
    // never leaves the target half written or removed.
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    QSaveFile output(target);
    if (!output.open(QIODevice::WriteOnly))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = input.read(buffer, sizeof buffer);
        if (n < 0) {
            output.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
        if (output.write(buffer, n) != n) {
            output.cancelWriting();
            return false;
        }
    }
    return output.commit();
}

bool fileDelete(const QString &path)
{
    return QFile::remove(path);
}

} // namespace platform
