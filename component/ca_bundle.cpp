// SPDX-License-Identifier: MIT
#include "component/ca_bundle.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>

namespace component {

namespace {

struct ReadAhead {
    QString path;
    QDateTime modified;
    qint64 size = -1;
    QList<QSslCertificate> certificates;
};

QMutex readAheadLock;
ReadAhead readAhead;

bool sameFile(const ReadAhead &read, const QString &path, const QFileInfo &now)
{
    return read.path == path && read.size == now.size() && read.modified == now.lastModified();
}

} // namespace

void readCaBundleAhead(const QString &path)
{
    const QFileInfo before(path);
    ReadAhead read{path, before.lastModified(), before.size(), QSslCertificate::fromPath(path, QSsl::Pem)};
    // A file that changed while it was read is read again when it is used.
    if (!sameFile(read, path, QFileInfo(path)))
        return;
    const QMutexLocker locker(&readAheadLock);
    readAhead = std::move(read);
}

QList<QSslCertificate> readCaBundle(const QString &path)
{
    {
        const QMutexLocker locker(&readAheadLock);
        if (!readAhead.certificates.isEmpty() && sameFile(readAhead, path, QFileInfo(path)))
            return readAhead.certificates;
    }
    return QSslCertificate::fromPath(path, QSsl::Pem);
}

} // namespace component
